// The run journal beside a project, "NAME.mlt.journal": every result of a
// run, appended as it comes, so that a crash, a killed process or a power cut
// in the middle of a long run loses at most its last second. It is findings
// text (finding_line.h): the line kFindingsHeader, then one findings line per
// result in the order the results came; a later line of a row replaces an
// earlier one. It keeps no transcript, as the project keeps none.
//
// A run appends whole lines, so only its end can be damaged: a last line
// without its line feed, or one that does not parse, ends the good part, and
// everything from there on is left out (cut off before a run appends again).
// Nothing before it is lost.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

#include "platform/error/exception.h"
#include "project/findings/findings_file.h"
#include "project/list/recipient_list.h"

namespace mv {

// A journal that cannot be applied: it cannot be read, is not a journal, or
// its lines are not about this project's rows. Nothing was applied, and the
// journal stays as it is.
class EJournalError : public Exception {
  public:
    using Exception::Exception;
    const char* ClassName() const override { return "EJournalError"; }
};

// "PROJECT.journal": the journal of the project file `project`.
std::filesystem::path JournalPathOf(const std::filesystem::path& project);

// What the good part of a journal holds.
struct JournalContents {
    size_t lines = 0;        // results in the good part
    size_t rows = 0;         // rows they are about (a row counts once)
    uint64_t goodBytes = 0;  // the length of the good part, header included
    bool damagedTail = false;
};

// Reads the journal `path`, at most its first `limit` bytes, and hands each
// line of its good part to `take` in order (`take` may be empty). Throws
// EJournalError when the file cannot be read or does not begin with the
// header line.
JournalContents ScanJournal(const std::filesystem::path& path, const FindingsParser::Take& take,
                            uint64_t limit = UINT64_MAX);

// The journal line of a row as it stands: its address, the code of its Result
// column and its finding (the verdict its code gives when it has none). None
// when the row has no result.
std::optional<FindingRecord> JournalRecordOf(const RecipientList& list, size_t row);

// Why a line cannot be applied to `list`: its row lies past the end, or holds
// another address. Empty when it fits.
std::string MisfitOf(const RecipientList& list, const FindingRecord& record);

// Gives the row of `record` the result as a reported result would: the
// Result column "[%d] %s", the icon, the check mark cleared for code 0, the
// finding, and no transcript. The record must fit (MisfitOf).
void ApplyJournalRecord(RecipientList& list, FindingRecord& record);

}  // namespace mv
