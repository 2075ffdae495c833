// What `check` writes, shared with the commands that collect a cluster run,
// so that both write exactly the same: the format chosen by --format and
// --output, one final row, and the count per verdict at the end.
#pragma once

#include <cstddef>

#include "cli_args.h"
#include "output_formats.h"
#include "project/list/recipient_list.h"
#include "project/run/check_run.h"

namespace mv::cli {

ResultFormat ChooseFormat(const ParsedArgs& args);

// The final result of `row` as the list holds it.
void WriteFinalRow(CheckResultWriter& writer, const RecipientList& list, size_t row, int code);

// "deliverable: 2   risky: 0   undeliverable: 1   unknown: 0" on standard
// error: the final results of the run per verdict.
void PrintVerdictCounts(const VerdictTally& tally);

}  // namespace mv::cli
