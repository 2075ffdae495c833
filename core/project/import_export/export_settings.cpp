#include "project/import_export/export_settings.h"

namespace mv {

ExportTolerance ReadExportTolerance(const TINI& ini) {
    ExportTolerance tolerance;
    tolerance.zero = ini.isToleranceZero.AsBoolean();
    tolerance.mailboxUnavailable = ini.isToleranceMailboxUnavailable.AsBoolean();
    tolerance.exceededStorage = ini.isToleranceExceededStorage.AsBoolean();
    tolerance.timeOut = ini.isToleranceTimeOut.AsBoolean();
    return tolerance;
}

void WriteExportTolerance(TINI& ini, const ExportTolerance& tolerance) {
    ini.isToleranceZero.SetAsBoolean(tolerance.zero);
    ini.isToleranceMailboxUnavailable.SetAsBoolean(tolerance.mailboxUnavailable);
    ini.isToleranceExceededStorage.SetAsBoolean(tolerance.exceededStorage);
    ini.isToleranceTimeOut.SetAsBoolean(tolerance.timeOut);
}

}  // namespace mv
