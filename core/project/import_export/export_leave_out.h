// Leaving flagged rows out of an export ("Leave out:" role addresses,
// disposable, free mail), on top of the rows that the tolerance or the
// verdicts chose. The flags come from each row's address as ExtractAddress
// cuts it out of the caption, so a project read from disk has them too.
// Names of the flags as settings and the command line write them:
// AddressFlagsText(flags, ',') and ParseAddressFlags ("role,disposable,free").
#pragma once

#include <cstddef>
#include <optional>
#include <vector>

#include "address/address_flags.h"
#include "address/address_knowledge.h"
#include "project/import_export/recipient_export.h"
#include "project/list/recipient_list.h"

namespace mv {

// `rows` without those whose address carries one of the flags of `leaveOut`;
// the order is kept. With no flag to leave out the lists are not asked.
std::vector<size_t> WithoutFlaggedRows(const RecipientList& list, std::vector<size_t> rows,
                                       AddressFlags leaveOut, const AddressKnowledge& lists);

// The rows an export takes, as the export dialog and `export` choose them:
// those with one of `verdicts` when given, else those that pass `tolerance`;
// less the rows flagged with one of `leaveOut` (`lists` may be null when
// there is none).
std::vector<size_t> ChosenExportRows(const RecipientList& list, const ExportTolerance& tolerance,
                                     const std::optional<VerdictSet>& verdicts,
                                     AddressFlags leaveOut, const AddressKnowledge* lists);

}  // namespace mv
