#include "launch/FileTypeRegistration.h"

#include "infra/TextRules.h"

namespace kiv {

namespace {

// One argument of an Exec line, "%" doubled (it starts field codes). Quoted only
// when it holds a reserved character: xdg-open's own reading of Exec lines (what
// runs on a desktop without a desktop environment) takes the quotes for the name.
std::string ExecArgument(std::string_view text) {
    if (text.find_first_of(" \t\n\"'\\><~|&;$*?#()`") == std::string_view::npos) {
        std::string plain;
        for (const char c : text) plain += c == '%' ? std::string("%%") : std::string(1, c);
        return plain;
    }
    std::string quoted = "\"";
    for (const char c : text) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
        if (c == '%') quoted += '%';
        quoted += c;
    }
    quoted += '"';
    return quoted;
}

// A value of type string in a desktop entry: the backslash itself is escaped
// again, and a line break could never be part of a value.
std::string EntryValue(std::string_view text) {
    std::string value;
    for (const char c : text) {
        if (c == '\\') value += "\\\\";
        else if (c == '\n') value += "\\n";
        else if (c == '\r') value += "\\r";
        else value += c;
    }
    return value;
}

std::string XmlText(std::string_view text) {
    std::string out;
    for (const char c : text) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            default: out += c;
        }
    }
    return out;
}

std::string_view FileName(std::string_view path) {
    const auto slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

std::string_view Folder(std::string_view path) {
    const auto slash = path.rfind('/');
    return slash == std::string_view::npos ? std::string_view() : path.substr(0, slash + 1);
}

}  // namespace

std::optional<std::string> OpenCommand(std::string_view programPath) {
    const std::string name = UpperAscii(FileName(programPath));
    // %u: a file manager hands a local file as a path or a file: URI, a browser a kiv: link.
    if (name == "KIVCLIENT") return ExecArgument(programPath) + " %u";
    if (name == "CONN") return ExecArgument(std::string(Folder(programPath)) + "kivclient") + " " + ExecArgument("Conn") + " %u";
    return std::nullopt;
}

TFileTypeRegistration BuildFileTypeRegistration(std::string_view programPath, std::string_view description) {
    TFileTypeRegistration registration;
    const std::string comment = XmlText(description);
    registration.mimePackage =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
        "  <mime-type type=\"" + std::string(kKivMimeType) + "\">\n"
        "    <comment>" + comment + "</comment>\n"
        "    <icon name=\"" + std::string(kIconName) + "\"/>\n"
        "    <glob pattern=\"*.kiv\"/>\n"
        "  </mime-type>\n"
        "  <mime-type type=\"" + std::string(kVynMimeType) + "\">\n"
        "    <comment>" + comment + "</comment>\n"
        "    <icon name=\"" + std::string(kIconName) + "\"/>\n"
        "    <glob pattern=\"*.vyn\"/>\n"
        "  </mime-type>\n"
        "</mime-info>\n";
    const std::optional<std::string> command = OpenCommand(programPath);
    if (!command) return registration;
    registration.desktopEntry =
        "[Desktop Entry]\n"
        "Type=Application\n"
        "Name=VYN Client\n"
        "Comment=" + EntryValue(description) + "\n"
        "Exec=" + EntryValue(*command) + "\n"
        "Icon=" + std::string(kIconName) + "\n"
        "Terminal=false\n"
        "NoDisplay=true\n"
        "Categories=Network;RemoteAccess;\n"
        "MimeType=" + std::string(kKivMimeType) + ";" + std::string(kVynMimeType) + ";" + std::string(kLinkMimeType) + ";\n";
    registration.defaultFor = {std::string(kKivMimeType), std::string(kVynMimeType), std::string(kLinkMimeType)};
    return registration;
}

}  // namespace kiv
