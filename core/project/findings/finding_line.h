// One line of a findings record: what the check of one row found, as text.
// The findings file beside a saved project, the run journal and the cluster's
// result events all carry results in this form, so that there is one format
// and one reader for them.
//
// A line holds nine fields separated by tabs, in this order: the row index,
// the address as checked, the result code, the verdict, the reason, the
// enhanced status code, the deciding host, the mail hosts tried (separated by
// blanks) and the deciding reply (its lines joined by " | ", at most
// kMaxReplyBytes bytes). A tenth field, kNotCheckedMark, follows only for an
// address that was not asked about (ResultFinding::notChecked); readers that
// know nine fields ignore it. Texts are UTF-8; a tab, carriage return or line
// feed inside a field is written as a blank. A file of such lines begins with
// the line kFindingsHeader.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "engine/result_finding.h"

namespace mv {

inline constexpr std::string_view kFindingsHeader = "mailvetter-findings 1";
inline constexpr std::string_view kNotCheckedMark = "not-checked";

struct FindingRecord {
    size_t row = 0;
    std::string address;  // the address as checked
    int code = 0;
    ResultFinding finding;
    bool operator==(const FindingRecord&) const = default;
};

// The line of `record`, without its line feed.
std::string FormatFindingLine(const FindingRecord& record);

// Reads one line (without its line feed; a trailing carriage return is
// allowed). None when it is not a well-formed findings line: a field missing
// or of the wrong kind, a row or code that does not fit, an unknown verdict or
// reason, or a line longer than kMaxLineBytes. A tenth field other than
// kNotCheckedMark, and fields after it, which a later version may add, are
// ignored.
std::optional<FindingRecord> ParseFindingLine(std::string_view line);

inline constexpr size_t kMaxReplyBytes = 512;
inline constexpr size_t kMaxLineBytes = 16384;

}  // namespace mv
