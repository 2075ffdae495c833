#include "address/domain_suggestion.h"

#include <algorithm>
#include <array>
#include <utility>

namespace mv {

namespace {

constexpr size_t kShortestLabel = 4;
constexpr size_t kLongLabel = 6;  // longer labels allow two edits
constexpr size_t kMaxLabel = 63;

// Whether `typed` is `known` with one letter left out, or with two
// neighbouring letters swapped.
bool IsDropOrSwap(std::string_view typed, std::string_view known) {
    size_t i = 0;
    while (i < typed.size() && i < known.size() && typed[i] == known[i])
        ++i;
    if (typed.size() + 1 == known.size()) return typed.substr(i) == known.substr(i + 1);
    if (typed.size() != known.size() || i + 1 >= typed.size()) return false;
    return typed[i] == known[i + 1] && typed[i + 1] == known[i] &&
           typed.substr(i + 2) == known.substr(i + 2);
}

}  // namespace

size_t EditDistance(std::string_view a, std::string_view b, size_t limit) {
    const size_t gap = a.size() > b.size() ? a.size() - b.size() : b.size() - a.size();
    if (gap > limit) return limit + 1;
    if (a.size() > kMaxLabel || b.size() > kMaxLabel) return a == b ? 0 : limit + 1;
    // Three rows of the table, turned round: two back (for swaps), the last
    // one and this one.
    std::array<std::array<size_t, kMaxLabel + 1>, 3> rows;
    size_t* before = rows[0].data();
    size_t* last = rows[1].data();
    size_t* row = rows[2].data();
    for (size_t j = 0; j <= b.size(); ++j)
        last[j] = j;
    for (size_t i = 1; i <= a.size(); ++i) {
        row[0] = i;
        size_t best = row[0];
        for (size_t j = 1; j <= b.size(); ++j) {
            const size_t change = a[i - 1] == b[j - 1] ? 0 : 1;
            row[j] = std::min({last[j] + 1, row[j - 1] + 1, last[j - 1] + change});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
                row[j] = std::min(row[j], before[j - 2] + 1);
            best = std::min(best, row[j]);
        }
        if (best > limit) return limit + 1;
        std::swap(before, last);
        std::swap(last, row);
    }
    return std::min(last[b.size()], limit + 1);
}

DomainSuggester::DomainSuggester(std::vector<std::string> domains) : domains_(std::move(domains)) {
    entries_.reserve(domains_.size());
    for (const std::string& domain : domains_) {
        const std::string_view view = domain;
        const size_t dot = view.find('.');
        entries_.push_back(dot == std::string_view::npos
                               ? Entry{view, {}}
                               : Entry{view.substr(0, dot), view.substr(dot + 1)});
    }
}

bool DomainSuggester::IsListed(std::string_view domain) const {
    return std::find(domains_.begin(), domains_.end(), domain) != domains_.end();
}

std::optional<DomainSuggestion> DomainSuggester::Suggest(std::string_view domain) const {
    const size_t dot = domain.find('.');
    if (dot == std::string_view::npos || IsListed(domain)) return std::nullopt;
    const std::string_view label = domain.substr(0, dot);
    const std::string_view rest = domain.substr(dot + 1);
    std::optional<DomainSuggestion> found = Closest(label, rest, false);
    const size_t lastDot = domain.rfind('.');
    const std::string_view tld = domain.substr(lastDot + 1);
    if (!found && (tld == "con" || tld == "cmo" || tld == "co")) {
        // The same with the top-level domain read as .com.
        std::string fixed(rest.substr(0, rest.size() - tld.size()));
        fixed += "com";
        found = Closest(label, fixed, true);
    }
    return found;
}

std::optional<DomainSuggestion> DomainSuggester::Closest(std::string_view label,
                                                         std::string_view rest,
                                                         bool tldTypo) const {
    std::optional<DomainSuggestion> best;
    size_t bestDistance = 0;
    for (size_t k = 0; k < entries_.size(); ++k) {
        const Entry& entry = entries_[k];
        if (entry.rest != rest) continue;
        if (entry.label == label) {
            // Only the top-level domain was mistyped.
            if (tldTypo) return DomainSuggestion{domains_[k], true};
            continue;
        }
        if (entry.label.size() < kShortestLabel) continue;
        const size_t limit = entry.label.size() <= kLongLabel ? 1 : 2;
        const size_t distance = EditDistance(label, entry.label, limit);
        if (distance > limit || (best && distance >= bestDistance)) continue;
        best = DomainSuggestion{domains_[k], !tldTypo && IsDropOrSwap(label, entry.label)};
        bestDistance = distance;
    }
    return best;
}

}  // namespace mv
