#pragma once
// The start-up step's reading of the command line: which of the accepted forms it
// is (a connection file, a link, a link file, with "/open" or "&" documents) and
// the overrides it makes to the settings record. It shows nothing itself: the
// outcome names the message the caller shows.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "launch/KivFile.h"

namespace kiv {

// Every argument followed by one blank, the whole trimmed.
std::string GetCommandLineText(const std::vector<std::string>& arguments);

struct TCommandLine {
    std::string CommandText;
    std::string OpenFilePath;
    bool VirtualFileMode = false;
    std::string VirtualFileArg;
};

struct TStartupTarget {
    enum class Kind { ConnectionFile, Link, Error };
    Kind kind = Kind::Error;
    std::string connectionFile;  // Kind::ConnectionFile: the ".KIV" path
    std::string address;         // Kind::Link: the decoded portal address
    std::string errorKey;        // Kind::Error: the language key ("FileNotExist"), empty for the parser's text
    std::string errorText;       // Kind::Error: the parser's text, or the argument of the key's format
};

// A "file://" URI of this machine as its local path (percent escapes decoded);
// any other text unchanged.
std::string LocalPathOfFileUri(std::string_view argument);

// Steps 4 to 9 of the start-up step; fills line and answers where the settings come from.
TStartupTarget InterpretCommandLine(const std::vector<std::string>& arguments, TCommandLine& line);

// Step 12's full-screen rule (the window's outer size before placement) and the
// overrides of step 13 ("&" document launch, then "/open", which wins).
void ApplyScreenFullSize(TKIVFile& record, int32_t outerWidth, int32_t outerHeight);
// Seamless mode (Screen_FULL 3): the remote desktop is the size of the local
// screen, so a server window anywhere on the screen has pixels to show.
void ApplySeamlessDesktopSize(TKIVFile& record, int32_t screenWidth, int32_t screenHeight);
void ApplyCommandLineOverrides(TKIVFile& record, TCommandLine& line);

// The session window's outer size before it is placed (96 dpi).
constexpr int32_t kUnplacedWindowWidth = 792;
constexpr int32_t kUnplacedWindowHeight = 573;

}  // namespace kiv
