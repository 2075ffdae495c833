// The export choices as the settings keep them: section "Export", keys
// ToleranceZero (default True), ToleranceMailboxUnavailable,
// ToleranceExceededStorage and ToleranceTimeOut (default False); ByVerdict
// (default False) and Verdicts (default "deliverable") for an export by
// verdict; LeaveOut (default empty), the flags whose rows either choice
// leaves out, by name, separated by commas.
#pragma once

#include <string>
#include <string_view>

#include "address/address_flags.h"
#include "project/import_export/recipient_export.h"
#include "settings/tini.h"

namespace mv {

ExportTolerance ReadExportTolerance(const TINI& ini);
void WriteExportTolerance(TINI& ini, const ExportTolerance& tolerance);

// Rows chosen by verdict instead of by tolerance, and which verdicts.
struct ExportVerdictChoice {
    bool byVerdict = false;
    VerdictSet verdicts;
    bool operator==(const ExportVerdictChoice&) const = default;
};
ExportVerdictChoice ReadExportVerdicts(const TINI& ini);
void WriteExportVerdicts(TINI& ini, const ExportVerdictChoice& choice);

// Names that are no flag are ignored.
AddressFlags ReadExportLeaveOut(const TINI& ini);
void WriteExportLeaveOut(TINI& ini, AddressFlags leaveOut);

// "deliverable,risky": the names of the verdicts in the set, in the order
// of the enumeration; and back, ignoring names that are no verdict.
std::string VerdictListText(VerdictSet verdicts);
VerdictSet ParseVerdictList(std::string_view text);

}  // namespace mv
