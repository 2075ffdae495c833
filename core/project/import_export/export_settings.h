// The export choices as the settings keep them: section "Export", keys
// ToleranceZero (default True), ToleranceMailboxUnavailable,
// ToleranceExceededStorage and ToleranceTimeOut (default False).
#pragma once

#include "project/import_export/recipient_export.h"
#include "settings/tini.h"

namespace mv {

ExportTolerance ReadExportTolerance(const TINI& ini);
void WriteExportTolerance(TINI& ini, const ExportTolerance& tolerance);

}  // namespace mv
