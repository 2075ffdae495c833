// The import of text, CSV and dBase files for mailvetter-cli: the core's
// importer with its automatic choices, unless the command line overrides them.
#include "list_input.h"
#include "platform/error/exception.h"
#include "project/import_export/recipient_import.h"

namespace mv::cli {

ImportResult ImportFile(const std::string& path, RecipientList& list,
                        const ImportChoices& choices) {
    RecipientImport import(path);
    import.Open();
    if (choices.emailColumn && !import.SelectEmailColumn(*choices.emailColumn))
        throw Exception("No column named '" + *choices.emailColumn + "' in " + path);
    if (choices.firstLineIsHeader && import.FirstLineApplies())
        import.SetFirstLine(*choices.firstLineIsHeader ? ImportFirstLine::Header
                                                       : ImportFirstLine::Data);
    import.SetMode(choices.replace ? ImportMode::Replace : ImportMode::Append);
    return import.Import(list);
}

}  // namespace mv::cli
