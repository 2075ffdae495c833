#include "main_window/command_states.h"

namespace mv::ui {

namespace {

// A run finds its rows by their positions: the commands that add, remove or
// re-mark rows, and those that would start a second run or replace the
// project, wait until it is over. The pre-flight check's probes would compete
// with the run's connections for the same mail servers.
bool Idle(const CommandFacts& f) {
    return !f.running;
}
bool IdleWithSelection(const CommandFacts& f) {
    return !f.running && f.selection;
}
bool Running(const CommandFacts& f) {
    return f.running;
}
bool Selection(const CommandFacts& f) {
    return f.selection;
}
bool LogAvailable(const CommandFacts& f) {
    return f.selection && f.logAvailable;
}
bool Rows(const CommandFacts& f) {
    return f.rows;
}

constexpr CommandRule kRules[] = {
    {"acNew", Idle},
    {"acOpen", Idle},
    {"acStart", Idle},
    {"acAbort", Running},
    {"acCheckOnCluster", Idle},  // exactly as "&Check"
    {"acCheckRest", Idle},       // exactly when "&Check" is
    {"acOptions", Idle},
    {"acPreflight", Idle},
    {"acRecipientAdd", Idle},
    {"acRecipientEdit", IdleWithSelection},
    {"acRecipientDelete", IdleWithSelection},
    {"acRecipientDeleteSelected", Idle},
    {"acCheckAll", Idle},
    {"acUnCheckAll", Idle},
    {"acInvertSelection", Idle},
    {"acImportRecipient", Idle},
    {"acExportRecipient", Idle},
    {"acCheck", Selection},  // a mark may change during a run: it is read at the start
    {"acFind", Selection},
    {"acFindNext", Selection},
    {"acViewLog", LogAvailable},
    {"acSummary", Rows},  // it only reads, also during a run
};

}  // namespace

std::span<const CommandRule> CommandRules() {
    return kRules;
}

}  // namespace mv::ui
