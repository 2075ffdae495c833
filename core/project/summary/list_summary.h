// What the recipient list's results add up to, for the summary window: the
// rows per verdict and per reason, and the domains with the most addresses
// with the verdicts of their rows. The same counts as a table of texts, which
// the window shows and saves as CSV.
//
// A row checked since the project was opened counts under its finding's
// verdict and reason; a row read from a project file has a verdict from its
// code alone and no reason, so it counts under "reason not kept". Rows
// without a result (never checked, or being checked) count as "not checked".
//
// Given the address lists, it also counts what the addresses tell: the rows
// per flag, those with a suggestion, and the rows per mail provider (of the
// rows whose finding kept the mail hosts tried).
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "engine/result_verdict.h"
#include "project/list/address_columns.h"
#include "project/list/recipient_list.h"

namespace mv {

// The verdicts in the order the program shows them: the best first.
inline constexpr std::array<Verdict, 4> kVerdictsShown = {
    Verdict::kDeliverable, Verdict::kRisky, Verdict::kUndeliverable, Verdict::kUnknown};

struct VerdictCounts {
    std::array<int, 4> verdicts{};  // by Verdict
    int notChecked = 0;
    int Of(Verdict v) const { return verdicts[static_cast<size_t>(v)]; }
    int Checked() const { return verdicts[0] + verdicts[1] + verdicts[2] + verdicts[3]; }
    int Total() const { return Checked() + notChecked; }
};

struct DomainCounts {
    std::string domain;  // lower case; empty for rows without an address
    VerdictCounts counts;
};

struct ListSummary {
    VerdictCounts rows;
    std::array<int, kReasonCount> reasons{};  // by Reason
    int reasonNotKept = 0;                    // checked rows whose finding is not in memory
    // The domains with the most addresses, most first (equal counts by name).
    std::vector<DomainCounts> topDomains;
    int ReasonCount(Reason r) const { return reasons[static_cast<size_t>(r)]; }
    // What the addresses tell; counted only when the lists were given.
    bool told = false;
    FlagTally flags;
    std::vector<std::pair<std::string, int>> providers;  // most first (equal counts by name)
};

inline constexpr size_t kSummaryDomains = 10;

ListSummary SummarizeList(const RecipientList& list, const AddressKnowledge* lists = nullptr,
                          size_t domains = kSummaryDomains);

// The summary as a table: a header, then one row per verdict (and "not
// checked"), per reason (and "reason not kept"), per top domain, and, when
// counted, per flag (and "suggestion") and per provider. Columns:
// Kind, Name, Addresses, then for domains the count per verdict and "not
// checked" (empty in the other rows). Every row has as many cells as the
// header.
std::vector<std::string> SummaryTableHeader();
std::vector<std::vector<std::string>> SummaryTableRows(const ListSummary& summary);
// The header and the rows as CSV (RFC 4180, UTF-8, lines end in CR LF).
std::string SummaryCsv(const ListSummary& summary);

// The names the table uses for the rows beside the verdicts and reasons.
inline constexpr const char* kNotCheckedName = "not checked";
inline constexpr const char* kReasonNotKeptName = "not kept";
inline constexpr const char* kNoDomainName = "(no domain)";
inline constexpr const char* kSuggestionName = "suggestion";

}  // namespace mv
