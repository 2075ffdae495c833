// mailvetter-cli show: the rows of a project as CSV.
#include <cstdio>

#include "cli_args.h"
#include "commands.h"
#include "list_input.h"
#include "output_formats.h"
#include "platform/error/exception.h"
#include "project/list/recipient_list.h"
#include "project_journal_cli.h"

namespace mv::cli {

int RunShow(const ParsedArgs& parsed) {
    if (parsed.Positional().size() != 1) throw UsageError("show needs exactly one PROJECT");
    RecipientList list;
    ProjectJournal journal;
    JournalUse use;
    use.recover = parsed.Has("recover");
    try {
        if (!OpenProjectWithJournal(parsed.Positional()[0], list, journal, use))
            return kExitFailure;
    } catch (const Exception& e) {
        PrintError(e.what());
        return kExitFailure;
    }
    std::string out = "row,checked";
    for (const ListColumn& c : list.Columns())
        out += "," + CsvField(c.caption);
    out += "\r\n";
    for (size_t row = 0; row < list.RowCount(); ++row) {
        out += std::to_string(row) + "," + (list.StateIndex(row) == kMarkChecked ? "1" : "0");
        out += "," + CsvField(list.Caption(row));
        for (size_t k = 0; k + 1 < list.ColumnCount(); ++k)
            out += "," + CsvField(list.SubItem(row, k));
        out += "\r\n";
        if (out.size() > (1u << 16)) {
            std::fwrite(out.data(), 1, out.size(), stdout);
            out.clear();
        }
    }
    std::fwrite(out.data(), 1, out.size(), stdout);
    return kExitOk;
}

}  // namespace mv::cli
