// What mailvetter-cli reads a recipient list from: a project file, a text,
// CSV or dBase file to import, or standard input.
#pragma once

#include <optional>
#include <string>

#include "project/import_export/recipient_import.h"
#include "project/list/recipient_list.h"

namespace mv::cli {

enum class InputKind { kProject, kStandardInput, kImport };

// ".mlt" (any case) is a project, "-" standard input, anything else a file
// to import.
InputKind KindOf(const std::string& path);

// The choices of an import that the command line can override.
struct ImportChoices {
    std::optional<std::string> emailColumn;  // a source column, by name
    std::optional<bool> firstLineIsHeader;   // else the automatic choice
    bool replace = false;                    // else the rows are appended
};

// Fills `list` from `path` as a check or an import would: a project is read
// whole; standard input gives one row per non-blank line; other files are
// imported with the automatic choices unless `choices` says otherwise. The
// messages of failures are those the window would show.
void LoadInput(const std::string& path, RecipientList& list, const ImportChoices& choices = {});

// Reads the project `path` with its findings file into `list`; a notice
// about a findings file that cannot be read goes to standard error.
void OpenProjectTelling(RecipientList& list, const std::string& path);

// Imports a text, CSV or dBase file into `list`.
ImportResult ImportFile(const std::string& path, RecipientList& list, const ImportChoices& choices);

}  // namespace mv::cli
