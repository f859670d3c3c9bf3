#pragma once
// The scenario language of the demo server. One rule per line (or separated
// by ';'); '#' starts a comment. The grammar is in HelpText (ServerOptions.h)
// and docs/demo-server.md.
#include <stdexcept>
#include <string>
#include <string_view>

#include "tools/demo-server/Scenario.h"

namespace kiv::demo {

// A rule that cannot be read; the message names where it was written.
class TScenarioError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Appends the rules of `text` to `scenario`. `source` names the text in
// messages ("scenario.txt", "--step 2"); lines are counted from 1.
void ParseScenarioText(std::string_view text, std::string_view source, TScenario& scenario);

TScenario ParseScenario(std::string_view text);

}  // namespace kiv::demo
