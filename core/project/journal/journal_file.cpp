#include "project/journal/journal_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <vector>

#include "engine/result_codes.h"
#include "platform/file/file_blocks.h"
#include "project/list/row_verdict.h"
#include "project/run/address_text.h"

namespace mv {

std::filesystem::path JournalPathOf(const std::filesystem::path& project) {
    std::filesystem::path path = project;
    path += ".journal";
    return path;
}

JournalContents ScanJournal(const std::filesystem::path& path, const FindingsParser::Take& take,
                            uint64_t limit) {
    std::vector<size_t> rows;
    FindingsParser parser(
        [&](FindingRecord& record) {
            rows.push_back(record.row);
            if (take) take(record);
        },
        FindingsOrder::kAsWritten);
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    // `take` may throw: the file is closed on every way out.
    const std::unique_ptr<const int, void (*)(const int*)> closer(&fd, [](const int* f) {
        if (*f >= 0) ::close(*f);
    });
    const bool read = fd >= 0 && ReadBlocks(
                                     fd, [&](std::string_view b) { parser.Feed(b); }, limit);
    const int error = errno;
    if (!read)
        throw EJournalError("The journal " + path.string() + " cannot be read (" +
                            std::strerror(error) + ")");
    const FindingsTally tally = parser.Finish();
    if (!tally.headerOk)
        throw EJournalError("The journal " + path.string() + " is not one this program can read");
    std::sort(rows.begin(), rows.end());
    JournalContents contents;
    contents.lines = tally.lines - tally.badLines;
    contents.rows = static_cast<size_t>(std::unique(rows.begin(), rows.end()) - rows.begin());
    contents.goodBytes = tally.goodBytes;
    contents.damagedTail = tally.badLines > 0;
    return contents;
}

std::optional<FindingRecord> JournalRecordOf(const RecipientList& list, size_t row) {
    const std::optional<ResultColumn> result = ParseResultColumn(list.SubItem(row, 0));
    if (!result) return std::nullopt;
    FindingRecord record;
    record.row = row;
    record.address = ExtractAddress(list.Caption(row));
    record.code = result->code;
    if (const ResultFinding* finding = list.FindingOf(row)) {
        record.finding = *finding;
    } else {
        ResultEvidence evidence;
        evidence.code = result->code;
        const ResultMeaning meaning = DescribeResult(evidence);
        record.finding.verdict = meaning.verdict;
        record.finding.reason = meaning.reason;
    }
    return record;
}

std::string MisfitOf(const RecipientList& list, const FindingRecord& record) {
    const std::string row = "row " + std::to_string(record.row);
    if (record.row >= list.RowCount())
        return row + " lies past the end of the project (" + std::to_string(list.RowCount()) +
               " rows)";
    const std::string address = ExtractAddress(list.Caption(record.row));
    if (address == record.address) return {};
    return row + " holds " + (address.empty() ? "no address" : address) + ", not " + record.address;
}

void ApplyJournalRecord(RecipientList& list, FindingRecord& record) {
    const size_t row = record.row;
    list.SetTranscript(row, {});
    list.SetFinding(row, std::move(record.finding));
    list.SetImageIndex(row, record.code != 0 ? kIconFailed : kIconValid);
    if (record.code == 0) list.SetStateIndex(row, kMarkUnchecked);
    list.SetSubItem(row, 0, ResultColumnText(record.code));
}

}  // namespace mv
