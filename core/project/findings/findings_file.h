// The findings file beside a saved project, "NAME.mlt.findings": what the
// last check of each row found (verdict, reason, deciding reply, hosts),
// which the project file itself has no place for. It is UTF-8 text: the line
// kFindingsHeader, then one findings line (finding_line.h) per row that has a
// result and a finding in memory, in row order.
//
// A row without a finding in memory (it was read from disk without one) is
// not written: it has only its code, and writing the verdict that the code
// gives would dress it up as a finding. Left out, it reads back exactly as
// it was, so saving and opening again loses nothing.
//
// On reading, a row takes a line's finding only when the line's row index,
// address (ExtractAddress of the caption) and code (of the Result column) all
// match the row; any other row keeps the verdict that its code gives. A file
// whose first line is not the header is ignored whole. A line that cannot be
// read, that does not follow the line before it in row order, or that ends
// the file without its line feed (a torn tail) is skipped and counted; the
// other lines still count.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "platform/file/atomic_file.h"
#include "project/findings/finding_line.h"
#include "project/list/recipient_list.h"

namespace mv {

// What reading a findings file came to.
struct FindingsTally {
    bool headerOk = false;  // the first line is kFindingsHeader
    size_t lines = 0;       // findings lines read after the header
    size_t badLines = 0;    // lines skipped as damaged
    // The length of the text up to the end of the last line handed over (or
    // of the header): where the good part of a journal ends.
    uint64_t goodBytes = 0;
    bool operator==(const FindingsTally&) const = default;
};

// How the lines of a findings text follow one another.
enum class FindingsOrder {
    // A findings file: one line per row, in row order. A damaged line, or
    // one out of order, is skipped; the lines after it still count.
    kByRow,
    // A run journal: lines in the order the results came, a later line of a
    // row replacing an earlier one. The first damaged line ends the good
    // part: it and every line after it are damaged.
    kAsWritten,
};

// Splits findings text, given in pieces of any size, into its lines and hands
// each well-formed findings line to `take`. Memory stays bounded: a line is
// held up to kMaxLineBytes and refused beyond it.
class FindingsParser {
  public:
    // Gets each line's record, which it may move from.
    using Take = std::function<void(FindingRecord&)>;
    explicit FindingsParser(Take take, FindingsOrder order = FindingsOrder::kByRow)
        : take_(std::move(take)), order_(order) {}

    void Feed(std::string_view bytes);
    // The end of the text; an unfinished last line is a torn tail.
    FindingsTally Finish();

  private:
    void Line(std::string_view line);

    Take take_;
    FindingsOrder order_;
    std::string pending_;  // the start of a line whose end has not come yet
    uint64_t offset_ = 0;  // bytes fed up to the end of the line being read
    bool first_ = true;
    bool ended_ = false;  // a journal's good part has ended
    std::optional<size_t> lastRow_;
    FindingsTally tally_;
};

// "PROJECT.findings": the findings file of the project file `project`.
std::filesystem::path FindingsPathOf(const std::filesystem::path& project);

// Writes the findings text of `list` (header and lines).
void WriteFindings(const RecipientList& list, ByteSink& sink);

// Gives each row of `list` the finding of the line that matches it.
FindingsTally ReadFindings(RecipientList& list, std::string_view text);

// Writes the findings file of the project `project` atomically. When that
// fails, an older findings file there is removed (it would no longer belong
// to the project) and the error (EFileError) passes on.
void SaveFindingsFile(const RecipientList& list, const std::filesystem::path& project);

// Reads the findings file of the project `project` into the rows of `list`,
// which were just read from that project (they hold no finding and no
// transcript). Returns the notice for the user when the file exists but
// cannot be read (then no row takes a finding) or is damaged; empty when all
// is well or there is no such file.
std::string LoadFindingsFile(RecipientList& list, const std::filesystem::path& project);

}  // namespace mv
