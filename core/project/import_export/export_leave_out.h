// Leaving flagged rows out of an export ("Leave out:" role addresses,
// disposable, free mail), on top of the rows that the tolerance or the
// verdicts chose. The flags come from each row's address as ExtractAddress
// cuts it out of the caption, so a project read from disk has them too.
// Names of the flags as settings and the command line write them:
// AddressFlagsText(flags, ',') and ParseAddressFlags ("role,disposable,free").
#pragma once

#include <cstddef>
#include <vector>

#include "address/address_flags.h"
#include "address/address_knowledge.h"
#include "project/list/recipient_list.h"

namespace mv {

// `rows` without those whose address carries one of the flags of `leaveOut`;
// the order is kept. With no flag to leave out the lists are not asked.
std::vector<size_t> WithoutFlaggedRows(const RecipientList& list, std::vector<size_t> rows,
                                       AddressFlags leaveOut, const AddressKnowledge& lists);

}  // namespace mv
