#pragma once
// A text of fixed capacity: at most N bytes; a longer value is cut to its first
// N bytes when stored. The bytes are kept as they came (system code page), NULs
// included, so the record never truncates or reinterprets what a file held.
#include <cstddef>
#include <string>
#include <string_view>

namespace kiv {

template <std::size_t N>
class FixedText {
public:
    static constexpr std::size_t Capacity = N;

    FixedText() = default;
    FixedText(std::string_view value) { assign(value); }  // NOLINT: cutting assignment is the point
    FixedText(const char* value) { assign(value); }        // NOLINT
    FixedText& operator=(std::string_view value) { assign(value); return *this; }
    FixedText& operator=(const std::string& value) { assign(value); return *this; }
    FixedText& operator=(const char* value) { assign(value); return *this; }

    const std::string& str() const { return text_; }
    operator std::string_view() const { return text_; }  // NOLINT
    bool empty() const { return text_.empty(); }
    std::size_t size() const { return text_.size(); }
    bool operator==(std::string_view other) const { return text_ == other; }

private:
    void assign(std::string_view value) { text_.assign(value.substr(0, N)); }
    std::string text_;
};

}  // namespace kiv
