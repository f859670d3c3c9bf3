#pragma once
// Which message tells the user why a session ended or failed: codes in, language
// keys out. The texts live in the language files.
#include <cstdint>
#include <optional>
#include <string_view>

namespace kiv {

// Authentication results other than 0; nullopt: no message (the window still closes).
std::optional<std::string_view> AuthResultKey(int32_t reason);
// The stage the logon did not finish; "ReconnectError" takes ServerSessionNo.
std::optional<std::string_view> StageErrorKey(int32_t reason);
// Session errors; "KIV_UnKnowError" takes the reason.
std::string_view SessionErrorKey(int32_t reason);

// The disconnect text: by the extended reason when it is not 0, else by the
// reason. nullopt for 2308 with no extended reason: that disconnect is ignored.
std::optional<std::string_view> DisconnectTextKey(int32_t reason, int32_t extendedReason);

// Ends the session without a word: low byte 1 or 2, or 0xB08, unless the
// server says another connection took the session over (extended reason 5).
bool IsQuietDisconnect(int32_t reason, int32_t extendedReason);

}  // namespace kiv
