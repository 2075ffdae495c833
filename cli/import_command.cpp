// mailvetter-cli import: a text, CSV or dBase list into a project.
#include <cstdio>
#include <filesystem>

#include "cli_args.h"
#include "commands.h"
#include "list_input.h"
#include "project/findings/project_files.h"
#include "project/list/storable_caption.h"
#include "project_journal_cli.h"

namespace mv::cli {

int RunImport(const ParsedArgs& parsed) {
    if (parsed.Positional().size() != 1) throw UsageError("import needs exactly one INPUT");
    if (!parsed.Has("to")) throw UsageError("import needs --to PROJECT");
    if (parsed.Has("header") && parsed.Has("data"))
        throw UsageError("--header and --data exclude each other");
    const std::string project = *parsed.Value("to");
    if (KindOf(project) != InputKind::kProject) throw UsageError("--to needs a project (.mlt)");
    ImportChoices choices;
    choices.replace = parsed.Has("replace");
    choices.emailColumn = parsed.Value("email-column");
    if (parsed.Has("header")) choices.firstLineIsHeader = true;
    if (parsed.Has("data")) choices.firstLineIsHeader = false;

    RecipientList list;
    ProjectJournal journal;
    ImportResult imported;
    try {
        std::error_code ec;
        if (std::filesystem::exists(project, ec)) {
            JournalUse use;
            use.howToApply = "it stays on offer to --recover";
            OpenProjectWithJournal(project, list, journal, use);
        }
        imported = ImportFile(parsed.Positional()[0], list, choices);
        SaveProject(list, project);
        journal.KeepAcrossSave();  // an interrupted check's results stay on offer
    } catch (const Exception& e) {
        PrintError(e.what());
        return kExitFailure;
    }
    std::fprintf(stderr, "%zu rows in %s", list.RowCount(), project.c_str());
    if (imported.refused > 0)
        std::fprintf(stderr, " (%zu refused: %s)", imported.refused, kUnstorableLocalPart.data());
    std::fprintf(stderr, "\n");
    return kExitOk;
}

}  // namespace mv::cli
