// Which of the main window's commands are enabled: one rule per action, each
// a function of a few named facts about the window. The window gathers the
// facts and applies every rule whenever one of them changes
// (TMainForm::UpdateCommandStates); a command whose state depends on nothing
// has no rule and stays enabled. A new command or fact is one more line here.
#pragma once

#include <span>

namespace mv::ui {

struct CommandFacts {
    bool running = false;       // a check run is under way
    bool rows = false;          // the list has rows
    bool selection = false;     // a row is selected
    bool logAvailable = false;  // the selected row has been checked: it has a log
};

struct CommandRule {
    const char* action;  // the action's object name
    bool (*enabled)(const CommandFacts& facts);
};

// Every rule, for the actions the window has.
std::span<const CommandRule> CommandRules();

}  // namespace mv::ui
