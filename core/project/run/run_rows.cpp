#include "project/run/run_rows.h"

#include <optional>

#include "engine/result_codes.h"
#include "project/list/row_verdict.h"

namespace mv {

bool RowNotChecked(const RecipientList& list, size_t row) {
    const ResultFinding* finding = list.FindingOf(row);
    return finding != nullptr && finding->notChecked;
}

bool RowAwaitsResult(const RecipientList& list, size_t row) {
    if (list.StateIndex(row) != kMarkChecked) return false;
    const std::optional<ResultColumn> result = ParseResultColumn(list.SubItem(row, 0));
    return !result || result->code == ResultAborted || RowNotChecked(list, row);
}

bool RunTakesRow(RunRows rows, const RecipientList& list, size_t row) {
    if (rows == RunRows::kRest) return RowAwaitsResult(list, row);
    return list.StateIndex(row) == kMarkChecked;
}

}  // namespace mv
