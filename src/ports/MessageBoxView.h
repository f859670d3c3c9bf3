#pragma once
// The client's own modal message box with its details pane. Texts are UTF-8.
#include <string>
#include <vector>

namespace kiv {

enum class TMessageBoxResult { Ok, Cancel };

struct TMessageBoxContent {
    std::string caption;                   // "Kiv Client" when the caller gave none
    std::string text;
    int iconIndex = 0;                     // 0 notice, 2 error, 3 no icon
    std::vector<std::string> detailLines;  // the details pane, one line each
};

class IMessageBoxView {
public:
    virtual ~IMessageBoxView() = default;
    // Modal: returns when the user closed the box. Events of the session keep
    // arriving meanwhile (the box runs a nested loop).
    virtual TMessageBoxResult Show(const TMessageBoxContent& content) = 0;
};

}  // namespace kiv
