#include "project/list/address_columns.h"

#include "project/run/address_text.h"

namespace mv {

AddressColumns AddressColumnsOf(const AddressKnowledge& lists, std::string_view address,
                                const ResultFinding* finding) {
    const AddressFacts facts = lists.Describe(address);
    AddressColumns columns{facts.flags, facts.suggestion, {}};
    if (finding != nullptr) {
        if (const ProviderProfile* provider = lists.ProviderOf(finding->hostsTried))
            columns.provider = provider->name;
        if (HostsCameFromMxRecords(finding->hostsTried, facts.asciiDomain))
            columns.suggestion.clear();
    }
    return columns;
}

AddressColumns AddressColumnsOfRow(const AddressKnowledge& lists, const RecipientList& list,
                                   size_t row) {
    return AddressColumnsOf(lists, ExtractAddress(list.Caption(row)), list.FindingOf(row));
}

void FlagTally::Count(const AddressColumns& columns) {
    role_ += columns.flags.Has(AddressFlag::kRole) ? 1 : 0;
    disposable_ += columns.flags.Has(AddressFlag::kDisposable) ? 1 : 0;
    free_ += columns.flags.Has(AddressFlag::kFree) ? 1 : 0;
    suggestions_ += columns.suggestion.empty() ? 0 : 1;
}

size_t FlagTally::Of(AddressFlag flag) const {
    switch (flag) {
        case AddressFlag::kRole:
            return role_;
        case AddressFlag::kDisposable:
            return disposable_;
        case AddressFlag::kFree:
            return free_;
    }
    return 0;
}

std::string FlagTally::Line() const {
    return "flags: role: " + std::to_string(role_) +
           "   disposable: " + std::to_string(disposable_) + "   free: " + std::to_string(free_) +
           "   suggestions: " + std::to_string(suggestions_);
}

}  // namespace mv
