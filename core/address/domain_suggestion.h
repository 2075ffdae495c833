// Suggestions for mistyped domains: "gmial.com" is probably "gmail.com".
// Suggested only from a short list of the largest mail domains
// (suggest-domains.txt, most used first):
//   - a top-level domain typed .con, .cmo or .co where the listed domain
//     has .com ("gmail.con", "yahoo.co");
//   - a first label within a Damerau-Levenshtein distance (letters left
//     out, added, changed or two neighbours swapped) of a listed domain's
//     first label, the rest being the same: 1 for labels of up to 6 letters,
//     2 for longer ones. Labels of fewer than 4 letters ("qq", "aol", "gmx")
//     are left out: one edit turns them into other, unrelated domains.
// Both together are one typo each ("gmial.con"). The closest listed domain
// wins; among equals the one listed first.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace mv {

// The optimal string alignment form of the Damerau-Levenshtein distance,
// counted up to `limit`: any larger distance is given as limit + 1.
size_t EditDistance(std::string_view a, std::string_view b, size_t limit);

struct DomainSuggestion {
    std::string_view domain;  // the listed domain
    // The typo is of the plainest kind: a letter left out, two neighbours
    // swapped, or only the .com mistyped. Lists of free-mail and disposable
    // domains hold many such typo domains (typo-squatters); they are
    // suggested all the same.
    bool plainTypo = false;
};

class DomainSuggester {
  public:
    DomainSuggester() = default;
    // The listed domains in lower-case ASCII, most used first.
    explicit DomainSuggester(std::vector<std::string> domains);

    // `domain` in lower-case ASCII. None when it is listed itself or close
    // to no listed domain.
    std::optional<DomainSuggestion> Suggest(std::string_view domain) const;
    bool IsListed(std::string_view domain) const;
    const std::vector<std::string>& Domains() const { return domains_; }

  private:
    struct Entry {
        std::string_view label;  // the first label
        std::string_view rest;   // everything after it, without the dot
    };
    std::optional<DomainSuggestion> Closest(std::string_view label, std::string_view rest,
                                            bool tldTypo) const;

    std::vector<std::string> domains_;
    std::vector<Entry> entries_;
};

}  // namespace mv
