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
// reason. A closed socket (2308) is the lost network: the control reports it
// only once it could not reconnect by itself.
std::string_view DisconnectTextKey(int32_t reason, int32_t extendedReason);

// Ends the session without a word: low byte 1 or 2, or 0xB08, unless the
// server says another connection took the session over (extended reason 5).
bool IsQuietDisconnect(int32_t reason, int32_t extendedReason);
// The client itself ended it: low byte 1, or 0xB08.
bool IsLocalDisconnect(int32_t reason);
// A disconnect before the session was up is always told: the server logging
// the user off (low byte 2) says so; anything else reads as any disconnect.
std::string_view EarlyDisconnectTextKey(int32_t reason, int32_t extendedReason);

// The meaning of a Windows system error code the server reports for an
// application that did not run; nullopt for a code without a text of its own.
std::optional<std::string_view> SystemErrorKey(int32_t code);

}  // namespace kiv
