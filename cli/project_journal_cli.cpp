#include "project_journal_cli.h"

#include <ctime>

#include "commands.h"
#include "list_input.h"

namespace mv::cli {

namespace {

// "interrupted on 2024-05-17 14:03 (523 results in P.mlt.journal)"
std::string Interrupted(const ProjectJournal& journal) {
    const JournalFacts& facts = journal.Facts();
    std::tm local{};
    char date[64] = "";
    if (localtime_r(&facts.written, &local) != nullptr)
        std::strftime(date, sizeof date, "%Y-%m-%d %H:%M", &local);
    return std::string("interrupted on ") + date + " (" + std::to_string(facts.results) +
           (facts.results == 1 ? " result" : " results") + " in " + journal.Path().string() + ")";
}

}  // namespace

bool OpenProjectWithJournal(const std::string& path, RecipientList& list, ProjectJournal& journal,
                            const JournalUse& use) {
    OpenProjectTelling(list, path);
    const JournalFacts& facts = journal.Look(path);
    if (!facts.problem.empty()) {
        // --recover cannot apply it, and a run's own journal would replace it.
        const bool refused = use.recover || use.saving;
        PrintError(facts.problem + (refused ? "; move it away to go on" : ""));
        if (refused) return false;
    }
    if (!facts.pending) return true;
    if (!use.recover) {
        if (use.saving) {
            PrintError("the last check of this project was " + Interrupted(journal) +
                       ": saving would leave them behind; " + use.howToApply +
                       ", or remove the journal to drop them");
            return false;
        }
        PrintError("the last check of this project was " + Interrupted(journal) + "; " +
                   use.howToApply);
        return true;
    }
    const std::string summary = Interrupted(journal);
    try {
        journal.Apply(list);
    } catch (const EJournalError& e) {
        PrintError(e.what());
        return false;
    }
    PrintError("applied the results of the check " + summary +
               (facts.damagedTail ? "; its damaged end was left out" : ""));
    return true;
}

void WarnWhenJournalFails(JournalWriter& writer) {
    writer.OnFailed = [](const std::string& message) { PrintError("warning: " + message); };
}

}  // namespace mv::cli
