#include "project/summary/list_summary.h"

#include <algorithm>
#include <unordered_map>

#include "project/import_export/csv_fields.h"
#include "project/list/row_verdict.h"
#include "project/run/address_text.h"

namespace mv {

namespace {

std::string LowerAscii(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

std::string DomainKey(std::string_view caption) {
    const std::string address = ExtractAddress(caption);
    return address.empty() ? std::string() : LowerAscii(DomainOf(address));
}

std::vector<DomainCounts> TopDomains(std::unordered_map<std::string, VerdictCounts>& byDomain,
                                     size_t count) {
    std::vector<DomainCounts> all;
    all.reserve(byDomain.size());
    for (auto& [domain, counts] : byDomain)
        all.push_back({domain, counts});
    const auto more = [](const DomainCounts& a, const DomainCounts& b) {
        if (a.counts.Total() != b.counts.Total()) return a.counts.Total() > b.counts.Total();
        return a.domain < b.domain;
    };
    const size_t kept = std::min(count, all.size());
    std::partial_sort(all.begin(), all.begin() + static_cast<std::ptrdiff_t>(kept), all.end(),
                      more);
    all.resize(kept);
    return all;
}

// The table's columns: kind, name, addresses, the verdicts, not checked.
constexpr size_t kTableColumns = 3 + kVerdictsShown.size() + 1;

// A row of the verdicts or reasons: its count, the domain columns empty.
std::vector<std::string> CountRow(const char* kind, std::string_view name, int count) {
    std::vector<std::string> row = {kind, std::string(name), std::to_string(count)};
    row.resize(kTableColumns);
    return row;
}

// The rows per flag and per provider.
void CountWhatAddressesTell(const RecipientList& list, const AddressKnowledge& lists,
                            ListSummary& summary) {
    summary.told = true;
    std::unordered_map<std::string, int> byProvider;
    for (size_t row = 0; row < list.RowCount(); ++row) {
        const AddressColumns told = AddressColumnsOfRow(lists, list, row);
        summary.flags.Count(told);
        if (!told.provider.empty()) ++byProvider[told.provider];
    }
    summary.providers.assign(byProvider.begin(), byProvider.end());
    std::sort(summary.providers.begin(), summary.providers.end(), [](const auto& a, const auto& b) {
        return a.second != b.second ? a.second > b.second : a.first < b.first;
    });
}

}  // namespace

ListSummary SummarizeList(const RecipientList& list, const AddressKnowledge* lists,
                          size_t domains) {
    ListSummary summary;
    if (lists != nullptr) CountWhatAddressesTell(list, *lists, summary);
    std::unordered_map<std::string, VerdictCounts> byDomain;
    for (size_t row = 0; row < list.RowCount(); ++row) {
        VerdictCounts& domain = byDomain[DomainKey(list.Caption(row))];
        const std::optional<RowVerdict> verdict = VerdictOfRow(list, row);
        if (!verdict) {
            ++summary.rows.notChecked;
            ++domain.notChecked;
            continue;
        }
        ++summary.rows.verdicts[static_cast<size_t>(verdict->verdict)];
        ++domain.verdicts[static_cast<size_t>(verdict->verdict)];
        if (verdict->reason)
            ++summary.reasons[static_cast<size_t>(*verdict->reason)];
        else
            ++summary.reasonNotKept;
    }
    summary.topDomains = TopDomains(byDomain, domains);
    return summary;
}

std::vector<std::string> SummaryTableHeader() {
    std::vector<std::string> header = {"Kind", "Name", "Addresses"};
    for (Verdict v : kVerdictsShown)
        header.emplace_back(VerdictName(v));
    header.emplace_back(kNotCheckedName);
    return header;
}

std::vector<std::vector<std::string>> SummaryTableRows(const ListSummary& summary) {
    std::vector<std::vector<std::string>> rows;
    rows.reserve(kVerdictsShown.size() + 1 + kReasonCount + 1 + summary.topDomains.size());
    for (Verdict v : kVerdictsShown)
        rows.push_back(CountRow("verdict", VerdictName(v), summary.rows.Of(v)));
    rows.push_back(CountRow("verdict", kNotCheckedName, summary.rows.notChecked));
    for (size_t r = 0; r < kReasonCount; ++r) {
        const auto reason = static_cast<Reason>(r);
        rows.push_back(CountRow("reason", ReasonName(reason), summary.ReasonCount(reason)));
    }
    rows.push_back(CountRow("reason", kReasonNotKeptName, summary.reasonNotKept));
    for (const DomainCounts& d : summary.topDomains) {
        std::vector<std::string> row = {"domain", d.domain.empty() ? kNoDomainName : d.domain,
                                        std::to_string(d.counts.Total())};
        for (Verdict v : kVerdictsShown)
            row.push_back(std::to_string(d.counts.Of(v)));
        row.push_back(std::to_string(d.counts.notChecked));
        rows.push_back(std::move(row));
    }
    if (!summary.told) return rows;
    for (AddressFlag flag : kAddressFlags)
        rows.push_back(
            CountRow("flag", AddressFlagName(flag), static_cast<int>(summary.flags.Of(flag))));
    rows.push_back(
        CountRow("flag", kSuggestionName, static_cast<int>(summary.flags.Suggestions())));
    for (const auto& [provider, count] : summary.providers)
        rows.push_back(CountRow("provider", provider, count));
    return rows;
}

std::string SummaryCsv(const ListSummary& summary) {
    std::string out;
    const auto append = [&out](const std::vector<std::string>& cells) {
        for (size_t k = 0; k < cells.size(); ++k) {
            if (k > 0) out += ',';
            AppendCsvField(out, cells[k]);
        }
        out += "\r\n";
    };
    append(SummaryTableHeader());
    for (const std::vector<std::string>& row : SummaryTableRows(summary))
        append(row);
    return out;
}

}  // namespace mv
