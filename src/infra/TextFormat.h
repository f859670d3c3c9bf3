#pragma once
// The formatting of language texts: "%s" takes a text, "%d" and "%u" an integer,
// "%x" an integer in hex, "%%" a percent sign. A missing argument leaves its
// directive out; extra arguments are ignored; unknown directives stay as written.
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <variant>

namespace kiv {

using TFormatArg = std::variant<std::string_view, int64_t>;

std::string Format(std::string_view format, std::initializer_list<TFormatArg> args);

}  // namespace kiv
