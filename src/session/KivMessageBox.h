#pragma once
// ShowKivMessageBox: the one box for errors and session-end notices, with the
// details support staff ask for.
#include <string>
#include <vector>

#include "launch/KivFile.h"
#include "ports/MessageBoxView.h"

namespace kiv {

// Who this client is, for the details pane.
struct TClientFacts {
    std::string computerName;
    std::string localIPs;
    std::string fingerPrint;
};

// The details pane's lines (UTF-8): the text, an empty line, the application,
// server and logon when there is a record, then the client.
std::vector<std::string> BuildMessageDetails(const std::string& text, const TKIVFile* record,
                                             const TClientFacts& client);

TMessageBoxResult ShowKivMessageBox(IMessageBoxView& view, const std::string& text, const std::string& caption,
                                    const TKIVFile* record, int iconIndex, const TClientFacts& client);

}  // namespace kiv
