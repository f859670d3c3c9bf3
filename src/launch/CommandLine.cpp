#include "launch/CommandLine.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>

#include "infra/CodePage.h"
#include "infra/TextRules.h"
#include "launch/KivLink.h"
#include "launch/ServerPath.h"

namespace kiv {

namespace {

constexpr std::string_view kOpenSwitch = "/open";

bool IsRegularFile(const std::string& path) {
    std::error_code ec;
    return !path.empty() && std::filesystem::is_regular_file(path, ec);
}

// A document may be anything the published application can open, but not a folder.
bool IsExistingDocument(const std::string& path) {
    std::error_code ec;
    const auto status = std::filesystem::status(path, ec);
    return !path.empty() && std::filesystem::exists(status) && !std::filesystem::is_directory(status);
}

bool NamesFileWithExtension(const std::string& text, std::string_view extension) {
    return EndsWithNoCase(text, extension) && IsRegularFile(text);
}

// A ".KIV" or ".VYN" name (any case), not a link, with nothing at that path.
bool NamesMissingFile(const std::string& text) {
    if (!EndsWithNoCase(text, ".KIV") && !EndsWithNoCase(text, ".VYN")) return false;
    if (EqualsNoCase(std::string_view(text).substr(0, 6), "KIV://")) return false;
    std::error_code ec;
    return !std::filesystem::exists(text, ec);
}

std::optional<std::string> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) return std::nullopt;
    return bytes;
}

// Link files come with CR LF line ends from one platform and LF from the other;
// neither belongs to the link.
std::string WithoutLineEnds(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text)
        if (c != '\r' && c != '\n') out += c;
    return out;
}

// "/open" as a word of its own. Linux paths are written with "/", so a folder such
// as "/home/ann/openoffice" must not be taken for the switch.
std::size_t FindOpenSwitch(std::string_view text) {
    for (std::size_t at = text.find(kOpenSwitch); at != std::string_view::npos; at = text.find(kOpenSwitch, at + 1)) {
        const std::size_t after = at + kOpenSwitch.size();
        const bool startsWord = at == 0 || static_cast<unsigned char>(text[at - 1]) <= ' ';
        const bool endsWord = after == text.size() || static_cast<unsigned char>(text[after]) <= ' ';
        if (startsWord && endsWord) return at;
    }
    return std::string_view::npos;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

TStartupTarget ErrorTarget(std::string key, std::string text) {
    TStartupTarget target;
    target.kind = TStartupTarget::Kind::Error;
    target.errorKey = std::move(key);
    target.errorText = std::move(text);
    return target;
}

}  // namespace

std::string GetCommandLineText(const std::vector<std::string>& arguments) {
    std::string text;
    for (const std::string& argument : arguments) {
        text += argument;
        text += ' ';
    }
    return Trimmed(text);
}

std::string LocalPathOfFileUri(std::string_view argument) {
    constexpr std::string_view kScheme = "file://";
    if (!EqualsNoCase(argument.substr(0, kScheme.size()), kScheme)) return std::string(argument);
    std::string_view rest = argument.substr(kScheme.size());
    const auto slash = rest.find('/');
    const std::string_view host = rest.substr(0, slash);
    // Only this machine's files have a local path.
    if (slash == std::string_view::npos || !(host.empty() || EqualsNoCase(host, "localhost")))
        return std::string(argument);
    rest.remove_prefix(slash);
    std::string path;
    for (std::size_t i = 0; i < rest.size(); ++i) {
        if (rest[i] == '%' && i + 2 < rest.size() && HexDigit(rest[i + 1]) >= 0 && HexDigit(rest[i + 2]) >= 0) {
            path += static_cast<char>(HexDigit(rest[i + 1]) * 16 + HexDigit(rest[i + 2]));
            i += 2;
        } else {
            path += rest[i];
        }
    }
    return path;
}

TStartupTarget InterpretCommandLine(const std::vector<std::string>& arguments, TCommandLine& line) {
    line = TCommandLine{};
    // A file manager may hand a file as a file: URI (the desktop entry's %u).
    std::vector<std::string> local;
    local.reserve(arguments.size());
    for (const std::string& argument : arguments) local.push_back(LocalPathOfFileUri(argument));
    line.CommandText = GetCommandLineText(local);

    // Tried on the whole text first: a connection file followed by "/open" or "&" is
    // no connection file and ends up failing as a link.
    if (NamesFileWithExtension(line.CommandText, ".KIV")) {
        TStartupTarget target;
        target.kind = TStartupTarget::Kind::ConnectionFile;
        target.connectionFile = line.CommandText;
        return target;
    }

    if (const std::size_t open = FindOpenSwitch(line.CommandText); open != std::string::npos) {
        // The document starts one character after "/open" (the blank that separates it).
        const std::size_t documentStart = open + kOpenSwitch.size() + 1;
        const std::string_view text = line.CommandText;
        line.OpenFilePath = documentStart < text.size() ? Trimmed(text.substr(documentStart)) : "";
        if (!IsExistingDocument(line.OpenFilePath)) return ErrorTarget("FileNotExist", line.OpenFilePath);
        line.CommandText = Trimmed(text.substr(0, open));
    }

    if (NamesFileWithExtension(line.CommandText, ".VYN")) {
        // A link file that cannot be read leaves its path, which then fails as a link.
        if (std::optional<std::string> bytes = ReadBytes(line.CommandText)) line.CommandText = WithoutLineEnds(*bytes);
    }

    // Neither side of "&" is trimmed: the link decoder ignores a blank after the
    // payload, and the argument reaches the server application as it was written.
    if (const std::size_t amp = line.CommandText.find('&'); amp != std::string::npos) {
        line.VirtualFileMode = true;
        std::string_view argument = std::string_view(line.CommandText).substr(amp + 1);
        if (!argument.empty() && argument.back() == '/') argument.remove_suffix(1);
        line.VirtualFileArg = std::string(argument);
        line.CommandText.resize(amp);
    }

    // A connection or link file that is not there is named as such: telling the
    // user it is "not a KIV link" would send them looking in the wrong place.
    if (NamesMissingFile(line.CommandText)) return ErrorTarget("FileNotExist", line.CommandText);

    std::string parsed;
    if (!ParseLink(line.CommandText, parsed)) return ErrorTarget("", std::move(parsed));
    TStartupTarget target;
    target.kind = TStartupTarget::Kind::Link;
    target.address = std::move(parsed);
    return target;
}

void ApplyScreenFullSize(TKIVFile& record, int32_t outerWidth, int32_t outerHeight) {
    if (record.ScreenFull != 1) return;
    record.Width = outerWidth;
    record.Height = outerHeight;
}

void ApplySeamlessDesktopSize(TKIVFile& record, int32_t screenWidth, int32_t screenHeight) {
    if (record.ScreenFull != 3 || screenWidth <= 0 || screenHeight <= 0) return;
    record.Width = screenWidth;
    record.Height = screenHeight;
}

void ApplyCommandLineOverrides(TKIVFile& record, TCommandLine& line) {
    if (line.VirtualFileMode) {
        record.ScreenFull = 3;
        record.ShareSession = true;
        record.AppTypeMode = 5;
        record.AppID = "APPVirFile";
        record.AppName = "";
        // Arguments arrive in the locale's UTF-8; the record holds code-page texts.
        record.AppParam = Utf8ToSystem(line.VirtualFileArg);
    }
    if (!line.OpenFilePath.empty()) {
        record.RedirectDrive = 1;
        // A document named relative to the working folder is still a local file the
        // server must reach through the shared drives.
        std::error_code ec;
        std::filesystem::path local = std::filesystem::absolute(line.OpenFilePath, ec);
        if (ec) local = line.OpenFilePath;
        line.OpenFilePath = ToTsClientPath(local.string(), HomeFolder());
        record.AppParam = Utf8ToSystem(line.OpenFilePath);
    }
}

}  // namespace kiv
