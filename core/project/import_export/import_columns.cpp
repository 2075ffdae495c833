#include "project/import_export/import_columns.h"

#include <algorithm>

#include "project/import_export/csv_fields.h"

namespace mv {

namespace {

char LowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

int FindName(const std::vector<std::string>& names, std::string_view wanted) {
    for (size_t i = 0; i < names.size(); ++i) {
        if (SameText(names[i], wanted)) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

}  // namespace

bool SameText(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (LowerAscii(a[i]) != LowerAscii(b[i])) {
            return false;
        }
    }
    return true;
}

EmailColumnChoice PickEmailColumn(const std::vector<std::string>& names) {
    EmailColumnChoice choice;
    if (names.empty()) {
        choice.index = -1;
        return choice;
    }
    int found = FindName(names, "email");
    if (found < 0) {
        found = FindName(names, "e-mail");
    }
    if (found >= 0) {
        choice.index = found;
        choice.firstLine = ImportFirstLine::Header;
        return choice;
    }
    for (size_t i = 0; i < names.size(); ++i) {
        if (names[i].find('@') != std::string::npos) {
            choice.index = static_cast<int>(i);
            choice.firstLine = ImportFirstLine::Data;
            break;
        }
    }
    return choice;
}

int FindColumn(const RecipientList& list, std::string_view name) {
    for (size_t k = 2; k < list.ColumnCount(); ++k) {
        if (SameText(list.Column(k).caption, name)) {
            return static_cast<int>(k);
        }
    }
    return -1;
}

ImportColumnMap BuildColumnMap(RecipientList& list, const std::vector<std::string>& names,
                               int emailColumn) {
    ImportColumnMap map;
    map.fill(-1);
    for (size_t i = 0; i < names.size(); ++i) {
        const int source = static_cast<int>(i);
        if (source == emailColumn) {
            map[0] = source;
            continue;
        }
        int column = FindColumn(list, names[i]);
        if (column < 0) {
            column = static_cast<int>(list.AddColumn(names[i], kImportColumnWidth));
        }
        if (static_cast<size_t>(column) < kMaxImportColumns) {
            map[static_cast<size_t>(column)] = source;
        }
    }
    return map;
}

void AppendImportedRow(RecipientList& list, const ImportColumnMap& map,
                       std::span<const std::string_view> values,
                       std::vector<std::string_view>& scratch) {
    const auto value = [&](int source) {
        return source >= 0 && static_cast<size_t>(source) < values.size()
                   ? TrimBlanksAndControls(values[static_cast<size_t>(source)])
                   : std::string_view();
    };
    scratch.clear();
    scratch.emplace_back();  // the Result column
    const size_t columns = std::min(list.ColumnCount(), kMaxImportColumns);
    for (size_t k = 2; k < columns; ++k) {
        scratch.push_back(value(map[k]));
    }
    list.AppendRow(value(map[0]), scratch, kIconNotChecked, kMarkChecked, -1);
}

}  // namespace mv
