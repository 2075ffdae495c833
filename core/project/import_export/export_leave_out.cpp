#include "project/import_export/export_leave_out.h"

#include <algorithm>

#include "project/run/address_text.h"

namespace mv {

std::vector<size_t> WithoutFlaggedRows(const RecipientList& list, std::vector<size_t> rows,
                                       AddressFlags leaveOut, const AddressKnowledge& lists) {
    if (leaveOut.Empty()) return rows;
    const auto flagged = [&](size_t row) {
        return lists.Describe(ExtractAddress(list.Caption(row))).flags.Meets(leaveOut);
    };
    rows.erase(std::remove_if(rows.begin(), rows.end(), flagged), rows.end());
    return rows;
}

std::vector<size_t> ChosenExportRows(const RecipientList& list, const ExportTolerance& tolerance,
                                     const std::optional<VerdictSet>& verdicts,
                                     AddressFlags leaveOut, const AddressKnowledge* lists) {
    std::vector<size_t> rows =
        verdicts ? RowsWithVerdicts(list, *verdicts) : RowsToExport(list, tolerance);
    if (lists == nullptr) return rows;
    return WithoutFlaggedRows(list, std::move(rows), leaveOut, *lists);
}

}  // namespace mv
