// What a row's result means, as the window's tool tip and the exports need
// it: the finding of the row's last check when it is in memory, else the
// verdict that its result code alone gives (a project opened from disk keeps
// only the Result text "[code] text").
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

#include "engine/result_verdict.h"
#include "project/list/recipient_list.h"

namespace mv {

// The two parts of a Result text "[%d] %s"; none when it is not of that form
// (never checked, "Checking...").
struct ResultColumn {
    int code = 0;
    std::string_view text;
};
std::optional<ResultColumn> ParseResultColumn(std::string_view result);

struct RowVerdict {
    Verdict verdict = Verdict::kUnknown;
    std::optional<Reason> reason;  // none when derived from the code only
    std::string_view reply;        // the deciding reply; empty when none or derived
    // The row's finding is not in memory: the verdict comes from the code.
    bool derivedFromCode = false;
};

// None for a row without a result (never checked, or being checked). The
// views stay valid while the row is unchanged.
std::optional<RowVerdict> VerdictOfRow(const RecipientList& list, size_t row);

// The verdict of a Result text and the finding beside it (null when none):
// the finding's when there is one, else the code's; none without a result.
// The list keeps it with each row (RecipientList::VerdictOf).
std::optional<Verdict> ClassifyResult(std::string_view result, const ResultFinding* finding);

// A set of verdicts, for choosing rows by verdict.
class VerdictSet {
  public:
    void Add(Verdict verdict) { bits_ |= Bit(verdict); }
    bool Has(Verdict verdict) const { return (bits_ & Bit(verdict)) != 0; }
    bool Empty() const { return bits_ == 0; }
    bool operator==(const VerdictSet&) const = default;

  private:
    static unsigned Bit(Verdict verdict) { return 1u << static_cast<unsigned>(verdict); }
    unsigned bits_ = 0;
};

}  // namespace mv
