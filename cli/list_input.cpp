#include "list_input.h"

#include <strings.h>

#include <iostream>

#include "commands.h"
#include "platform/text/text_trim.h"
#include "project/findings/project_files.h"

namespace mv::cli {

InputKind KindOf(const std::string& path) {
    if (path == "-") return InputKind::kStandardInput;
    if (path.size() >= 4 && strcasecmp(path.c_str() + path.size() - 4, ".mlt") == 0)
        return InputKind::kProject;
    return InputKind::kImport;
}

namespace {

void ReadStandardInput(RecipientList& list) {
    std::string line;
    list.BeginUpdate();
    while (std::getline(std::cin, line)) {
        line = std::string(TrimBlanksAndControls(line));
        if (line.empty()) continue;
        RecipientRow row;
        row.caption = line;
        row.subItems.assign(list.ColumnCount() - 1, std::string());
        list.AppendRow(row);
    }
    list.EndUpdate();
}

}  // namespace

void OpenProjectTelling(RecipientList& list, const std::string& path) {
    if (const std::string notice = OpenProject(list, path); !notice.empty()) PrintError(notice);
}

void LoadInput(const std::string& path, RecipientList& list, const ImportChoices& choices) {
    switch (KindOf(path)) {
        case InputKind::kProject:
            OpenProjectTelling(list, path);
            return;
        case InputKind::kStandardInput:
            ReadStandardInput(list);
            return;
        case InputKind::kImport:
            ImportFile(path, list, choices);
            return;
    }
}

}  // namespace mv::cli
