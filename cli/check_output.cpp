#include "check_output.h"

#include <cstdio>
#include <string>

#include "project/list/row_verdict.h"
#include "project/run/address_text.h"

namespace mv::cli {

ResultFormat ChooseFormat(const ParsedArgs& args) {
    const std::string format = args.ValueOr("format", "");
    if (format == "csv") return ResultFormat::kCsv;
    if (format == "jsonl") return ResultFormat::kJsonLines;
    if (!format.empty()) throw UsageError("--format is csv or jsonl, not '" + format + "'");
    const std::string out = args.ValueOr("output", "");
    const auto dot = out.rfind('.');
    const std::string ext = dot == std::string::npos ? "" : out.substr(dot);
    return ext == ".jsonl" || ext == ".json" ? ResultFormat::kJsonLines : ResultFormat::kCsv;
}

FinalRows::FinalRows(CheckResultWriter* writer, const RecipientList& list,
                     const AddressKnowledge& lists)
    : writer_(writer), list_(list), lists_(lists) {}

void FinalRows::Write(size_t row, int code) {
    const std::string_view caption = list_.Caption(row);
    const std::string address = ExtractAddress(caption);
    const AddressColumns columns = AddressColumnsOf(lists_, address, list_.FindingOf(row));
    flags_.Count(columns);
    if (writer_ == nullptr) return;
    writer_->Result(row, caption, address, code, list_.SubItem(row, 0),
                    VerdictOfRow(list_, row).value_or(RowVerdict{}), columns,
                    list_.TranscriptOf(row));
}

void PrintRunSummary(const VerdictTally& tally, const FlagTally& flags) {
    std::string line;
    for (Verdict v :
         {Verdict::kDeliverable, Verdict::kRisky, Verdict::kUndeliverable, Verdict::kUnknown})
        line += (line.empty() ? "" : "   ") + std::string(VerdictName(v)) + ": " +
                std::to_string(tally.Of(v));
    std::fprintf(stderr, "%s\n", line.c_str());
    std::fprintf(stderr, "%s\n", flags.Line().c_str());
}

}  // namespace mv::cli
