// What `check` writes, shared with the commands that collect a cluster run,
// so that both write exactly the same: the format chosen by --format and
// --output, each final row with what its address tells, and the summary
// lines at the end.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "address/address_knowledge.h"
#include "cli_args.h"
#include "output_formats.h"
#include "project/list/recipient_list.h"
#include "project/run/check_run.h"

namespace mv::cli {

ResultFormat ChooseFormat(const ParsedArgs& args);

// Writes the final result of a row as the list holds it, and counts the
// flags of the rows written. Without a writer (the output could not be
// opened) it only counts.
class FinalRows {
  public:
    FinalRows(CheckResultWriter* writer, const RecipientList& list, const AddressKnowledge& lists);
    void SetWriter(CheckResultWriter* writer) { writer_ = writer; }
    void Write(size_t row, int code);
    const FlagTally& Flags() const { return flags_; }

  private:
    CheckResultWriter* writer_;
    const RecipientList& list_;
    const AddressKnowledge& lists_;
    FlagTally flags_;
};

// The counter line's texts of a run (CheckRun, or a run on the cluster):
// the five panels and what waits for a recheck.
template <class Run>
std::function<std::vector<std::string>()> StatusTextsOf(const Run& run) {
    return [&run] {
        const auto panels = run.StatusTexts();
        std::vector<std::string> texts(panels.begin(), panels.end());
        texts.push_back(run.RecheckText());
        return texts;
    };
}

// On standard error: "deliverable: 2   risky: 0   undeliverable: 1
// unknown: 0" (the final results per verdict), then the flags' line.
void PrintRunSummary(const VerdictTally& tally, const FlagTally& flags);

}  // namespace mv::cli
