// Which rows of the list a check run takes.
#pragma once

#include <cstddef>

#include "project/list/recipient_list.h"

namespace mv {

enum class RunRows {
    kMarked,  // every marked row ("&Check")
    kRest,    // the marked rows that have no result yet ("C&heck the Rest", --resume)
};

// The row's last check ended without asking about its address: its mail
// server had failed too often in a row (ResultFinding::notChecked). The row
// keeps its mark and counts as having no result.
bool RowNotChecked(const RecipientList& list, size_t row);

// A marked row without a result of its own: never checked, left
// "Checking..." by a run that did not end, stopped by the user (-8), or not
// checked (RowNotChecked).
bool RowAwaitsResult(const RecipientList& list, size_t row);

// Whether a run over `rows` takes the row.
bool RunTakesRow(RunRows rows, const RecipientList& list, size_t row);

}  // namespace mv
