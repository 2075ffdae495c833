// What the address of a row tells by itself, as every view shows it (the
// command line's result lines, the window's tool tip, the summary): its
// flags, a suggestion for a mistyped domain, and the mail provider of the
// hosts its check tried. Derived from the address and the row's finding
// each time, so a reopened project shows them again (the provider only
// where the findings file kept the hosts).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "address/address_knowledge.h"
#include "engine/result_finding.h"
#include "project/list/recipient_list.h"

namespace mv {

struct AddressColumns {
    AddressFlags flags;
    std::string suggestion;  // the corrected address; empty when none
    std::string provider;    // the provider's name; empty when none
};

// From the address and the finding of its check (null when there is none):
// the provider of the mail hosts tried, no suggestion for a domain whose MX
// records were found.
AddressColumns AddressColumnsOf(const AddressKnowledge& lists, std::string_view address,
                                const ResultFinding* finding);
// The same for a row: its address as ExtractAddress cuts it out of the
// caption, and the row's finding.
AddressColumns AddressColumnsOfRow(const AddressKnowledge& lists, const RecipientList& list,
                                   size_t row);

// How many rows carried each flag and a suggestion.
class FlagTally {
  public:
    void Count(const AddressColumns& columns);
    size_t Of(AddressFlag flag) const;
    size_t Suggestions() const { return suggestions_; }
    // "flags: role: N   disposable: N   free: N   suggestions: N".
    std::string Line() const;

  private:
    size_t role_ = 0, disposable_ = 0, free_ = 0, suggestions_ = 0;
};

}  // namespace mv
