#include "list_input.h"

#include <strings.h>

#include <iostream>

#include "storage/project_stream.h"

namespace mv::cli {

InputKind KindOf(const std::string& path) {
    if (path == "-") return InputKind::kStandardInput;
    if (path.size() >= 4 && strcasecmp(path.c_str() + path.size() - 4, ".mlt") == 0)
        return InputKind::kProject;
    return InputKind::kImport;
}

namespace {

std::string Trimmed(const std::string& s) {
    size_t first = 0;
    while (first < s.size() && static_cast<unsigned char>(s[first]) <= ' ')
        ++first;
    size_t last = s.size();
    while (last > first && static_cast<unsigned char>(s[last - 1]) <= ' ')
        --last;
    return s.substr(first, last - first);
}

void ReadStandardInput(RecipientList& list) {
    std::string line;
    list.BeginUpdate();
    while (std::getline(std::cin, line)) {
        line = Trimmed(line);
        if (line.empty()) continue;
        RecipientRow row;
        row.caption = line;
        row.subItems.assign(list.ColumnCount() - 1, std::string());
        list.AppendRow(row);
    }
    list.EndUpdate();
}

}  // namespace

void LoadInput(const std::string& path, RecipientList& list, const ImportChoices& choices) {
    switch (KindOf(path)) {
        case InputKind::kProject:
            LoadProjectFile(list, path);
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
