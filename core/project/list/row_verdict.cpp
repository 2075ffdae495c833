#include "project/list/row_verdict.h"

#include <charconv>

namespace mv {

std::optional<ResultColumn> ParseResultColumn(std::string_view result) {
    if (result.size() < 4 || result[0] != '[') return std::nullopt;
    const size_t close = result.find("] ");
    if (close == std::string_view::npos) return std::nullopt;
    ResultColumn column;
    const char* first = result.data() + 1;
    const char* last = result.data() + close;
    const auto [end, error] = std::from_chars(first, last, column.code);
    if (error != std::errc() || end != last) return std::nullopt;
    column.text = result.substr(close + 2);
    return column;
}

std::optional<RowVerdict> VerdictOfRow(const RecipientList& list, size_t row) {
    const std::optional<ResultColumn> result = ParseResultColumn(list.SubItem(row, 0));
    if (!result) return std::nullopt;
    RowVerdict verdict;
    if (const ResultFinding* finding = list.FindingOf(row)) {
        verdict.verdict = finding->verdict;
        verdict.reason = finding->reason;
        verdict.reply = finding->reply;
    } else {
        verdict.verdict = VerdictOfCode(result->code);
        verdict.derivedFromCode = true;
    }
    return verdict;
}

std::optional<Verdict> ClassifyResult(std::string_view result, const ResultFinding* finding) {
    const std::optional<ResultColumn> column = ParseResultColumn(result);
    if (!column) return std::nullopt;
    return finding != nullptr ? finding->verdict : VerdictOfCode(column->code);
}

}  // namespace mv
