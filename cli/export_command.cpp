// mailvetter-cli export: the rows of a project whose result passes the chosen
// tolerance, or whose verdict is among the chosen ones, less the rows whose
// address carries a flag to leave out, as a text, CSV or dBase file.
#include <cstdio>
#include <optional>
#include <sstream>

#include "address/address_knowledge.h"
#include "cli_args.h"
#include "commands.h"
#include "list_input.h"
#include "platform/error/exception.h"
#include "project/import_export/export_leave_out.h"
#include "project/import_export/export_settings.h"
#include "project/import_export/recipient_export.h"
#include "project_journal_cli.h"
#include "settings/tini.h"

namespace mv::cli {

namespace {

// "zero", or a list of mailbox, storage and timeout separated by commas.
ExportTolerance ParseTolerance(const std::string& text) {
    ExportTolerance t;
    if (text == "zero") return t;
    t.zero = false;
    std::stringstream items(text);
    std::string item;
    while (std::getline(items, item, ',')) {
        if (item == "mailbox")
            t.mailboxUnavailable = true;
        else if (item == "storage")
            t.exceededStorage = true;
        else if (item == "timeout")
            t.timeOut = true;
        else
            throw UsageError("--tolerance is zero or a list of mailbox, storage, timeout; not '" +
                             item + "'");
    }
    return t;
}

// "deliverable,risky,...": the verdicts whose rows are written.
VerdictSet ParseVerdicts(const std::string& text) {
    VerdictSet verdicts;
    std::stringstream items(text);
    std::string item;
    while (std::getline(items, item, ',')) {
        const std::optional<Verdict> verdict = ParseVerdict(item);
        if (!verdict)
            throw UsageError(
                "--verdict is a list of deliverable, risky, undeliverable, unknown; not '" + item +
                "'");
        verdicts.Add(*verdict);
    }
    if (verdicts.Empty()) throw UsageError("--verdict needs at least one verdict");
    return verdicts;
}

// "role,disposable,free": the flags whose rows are left out.
AddressFlags ParseLeaveOut(const std::string& text) {
    std::string bad;
    const std::optional<AddressFlags> flags = ParseAddressFlags(text, &bad);
    if (!flags)
        throw UsageError("--leave-out is a list of role, disposable, free; not '" + bad + "'");
    return *flags;
}

}  // namespace

int RunExport(const ParsedArgs& parsed) {
    if (parsed.Positional().size() != 1) throw UsageError("export needs exactly one PROJECT");
    if (!parsed.Has("to")) throw UsageError("export needs --to FILE");
    const std::string target = *parsed.Value("to");
    if (!ExportFormatOf(target)) throw UsageError("--to needs a .txt, .csv or .dbf file");
    if (parsed.Has("verdict") && parsed.Has("tolerance"))
        throw UsageError("--verdict and --tolerance choose rows in two ways: give one of them");
    std::optional<VerdictSet> verdicts;
    if (auto text = parsed.Value("verdict")) verdicts = ParseVerdicts(*text);
    AddressFlags leaveOut;
    if (auto text = parsed.Value("leave-out")) leaveOut = ParseLeaveOut(*text);

    TINI ini;
    ExportTolerance tolerance = ReadExportTolerance(ini);
    if (auto text = parsed.Value("tolerance")) {
        tolerance = ParseTolerance(*text);
        WriteExportTolerance(ini, tolerance);  // the choice persists, as in the window
    }
    RecipientList list;
    ProjectJournal journal;
    JournalUse use;
    use.recover = parsed.Has("recover");
    try {
        if (!OpenProjectWithJournal(parsed.Positional()[0], list, journal, use))
            return kExitFailure;
        // The address lists are read only when rows are to be left out.
        const AddressKnowledge* lists = leaveOut.Empty() ? nullptr : &AddressKnowledge::Installed();
        const size_t rows = ExportRows(list, target, [&] {
            return ChosenExportRows(list, tolerance, verdicts, leaveOut, lists);
        });
        std::fprintf(stderr, "%zu rows written to %s\n", rows, target.c_str());
    } catch (const Exception& e) {
        PrintError(e.what());
        return kExitFailure;
    }
    return kExitOk;
}

}  // namespace mv::cli
