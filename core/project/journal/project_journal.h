// The journal of one project as the project that owns it sees it: whether
// its last check was interrupted, applying what that check had found, and
// journaling the next run (journal_file.h tells the format).
//
// A journal is pending when it is at least as new as the project file and
// holds results: the run that wrote it did not end in a save. An older one
// was written before the project was last saved, so the project holds all it
// could offer. A normal save removes the journal (Remove); one that the user
// keeps across a save is touched, so that it stays pending
// (KeepAcrossSave).
#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <filesystem>
#include <memory>
#include <string>

#include "platform/loop/message_loop.h"
#include "project/journal/journal_file.h"
#include "project/journal/journal_writer.h"
#include "project/list/recipient_list.h"

namespace mv {

// What the questions about an interrupted check need to know.
struct JournalFacts {
    bool pending = false;      // the last check was interrupted
    size_t results = 0;        // rows it holds a result for
    std::time_t written = 0;   // when it was last written
    bool damagedTail = false;  // its damaged end is left out
    // Not empty when a journal at least as new as the project cannot be
    // read or is not a journal: the message, the journal kept as it is.
    std::string problem;
};

class ProjectJournal {
  public:
    ProjectJournal() = default;
    ~ProjectJournal();
    ProjectJournal(const ProjectJournal&) = delete;
    ProjectJournal& operator=(const ProjectJournal&) = delete;

    // Looks at the journal beside the project file `project` (which need not
    // exist yet). Forgets whatever was known of another one.
    const JournalFacts& Look(const std::filesystem::path& project);
    const JournalFacts& Facts() const { return facts_; }
    const std::filesystem::path& Path() const { return path_; }
    bool Applied() const { return applied_; }

    // Gives the rows of `list`, just read from the project, the results of
    // the pending journal, each as its last line had it. Throws EJournalError
    // when a line is not about a row of `list` (nothing is applied then) or
    // the journal cannot be read. Returns how many rows took a result.
    size_t Apply(RecipientList& list);

    // Journals a run from now on: the pending journal is continued after its
    // good part (its damaged end cut off), any other file there is replaced
    // by a new journal once the first result comes.
    JournalWriter& StartWriting(MessageLoop& loop);
    // Flushes and closes what the run wrote; the journal stays.
    void EndWriting() { writer_.reset(); }
    JournalWriter* Writer() { return writer_.get(); }

    // Its results are in the saved project, or unwanted: the journal goes.
    // While a run writes, it starts again with its header alone.
    void Remove();
    // The project was saved and the user keeps the pending journal: it is
    // made newer than the project, so it stays pending.
    void KeepAcrossSave();

  private:
    std::filesystem::path path_;
    JournalFacts facts_;
    uint64_t goodBytes_ = 0;
    bool applied_ = false;
    std::unique_ptr<JournalWriter> writer_;
};

}  // namespace mv
