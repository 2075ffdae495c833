// What the commands that open a project do with the journal of an
// interrupted check beside it (project/journal/project_journal.h): apply it
// with --recover, else tell about it in one line.
#pragma once

#include <string>

#include "project/journal/project_journal.h"
#include "project/list/recipient_list.h"

namespace mv::cli {

struct JournalUse {
    bool recover = false;  // --recover (or --resume): apply a pending journal
    // The command saves the project: a pending journal that is not applied
    // refuses it, since saving would leave the journal's results behind.
    bool saving = false;
    // How this command applies a journal, for the notice: "--recover".
    const char* howToApply = "--recover applies them";
};

// Reads the project `path` with its findings file into `list`, then looks at
// its journal and applies or tells about it as `use` says. Throws what
// reading the project throws; false, with the message printed, when a journal
// that was to be applied cannot be, or when saving is refused (a journal that
// cannot be read refuses both, so that nothing writes over it).
bool OpenProjectWithJournal(const std::string& path, RecipientList& list, ProjectJournal& journal,
                            const JournalUse& use);

// Prints "warning: ..." when the journal of the run cannot be written.
void WarnWhenJournalFails(JournalWriter& writer);

}  // namespace mv::cli
