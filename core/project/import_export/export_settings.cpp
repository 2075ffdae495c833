#include "project/import_export/export_settings.h"

#include "platform/text/text_trim.h"

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

std::string VerdictListText(VerdictSet verdicts) {
    std::string text;
    for (Verdict v :
         {Verdict::kDeliverable, Verdict::kUndeliverable, Verdict::kRisky, Verdict::kUnknown}) {
        if (!verdicts.Has(v)) continue;
        if (!text.empty()) text += ',';
        text += VerdictName(v);
    }
    return text;
}

VerdictSet ParseVerdictList(std::string_view text) {
    VerdictSet verdicts;
    while (!text.empty()) {
        const size_t comma = text.find(',');
        const std::string item = TrimBlanks(text.substr(0, comma));
        if (const std::optional<Verdict> v = ParseVerdict(item)) verdicts.Add(*v);
        text = comma == std::string_view::npos ? std::string_view() : text.substr(comma + 1);
    }
    return verdicts;
}

ExportVerdictChoice ReadExportVerdicts(const TINI& ini) {
    return {ini.isExportByVerdict.AsBoolean(), ParseVerdictList(ini.ilExportVerdicts.Text())};
}

void WriteExportVerdicts(TINI& ini, const ExportVerdictChoice& choice) {
    ini.isExportByVerdict.SetAsBoolean(choice.byVerdict);
    ini.ilExportVerdicts.SetText(VerdictListText(choice.verdicts));
}

AddressFlags ReadExportLeaveOut(const TINI& ini) {
    AddressFlags flags;
    std::string_view text = ini.ilExportLeaveOut.Text();
    while (!text.empty()) {
        const size_t comma = text.find(',');
        if (auto flag = ParseAddressFlag(TrimBlanks(text.substr(0, comma)))) flags.Add(*flag);
        text = comma == std::string_view::npos ? std::string_view() : text.substr(comma + 1);
    }
    return flags;
}

void WriteExportLeaveOut(TINI& ini, AddressFlags leaveOut) {
    ini.ilExportLeaveOut.SetText(AddressFlagsText(leaveOut, ','));
}

}  // namespace mv
