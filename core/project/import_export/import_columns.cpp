#include "project/import_export/import_columns.h"

#include <algorithm>
#include <unordered_map>

#include "project/import_export/csv_fields.h"
#include "project/import_export/import_export_error.h"
#include "project/list/storable_caption.h"

namespace mv {

namespace {

char LowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string LowerAscii(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) {
        c = LowerAscii(c);
    }
    return lower;
}

int FindName(const SourceColumnNames& names, std::string_view wanted) {
    for (size_t i = 0; i < names.size(); ++i) {
        if (SameText(names[i], wanted)) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

}  // namespace

SourceColumnNames::SourceColumnNames(std::initializer_list<std::string_view> names) {
    for (const std::string_view name : names) {
        Add(name);
    }
}

void SourceColumnNames::Add(std::string_view name) {
    if (text_.size() + name.size() > UINT32_MAX) {
        throw EImportError("The column names of the first line exceed 4 GiB");
    }
    text_.append(name);
    ends_.push_back(static_cast<uint32_t>(text_.size()));
}

void SourceColumnNames::Clear() {
    text_.clear();
    ends_.clear();
}

std::string_view SourceColumnNames::operator[](size_t index) const {
    const size_t begin = index == 0 ? 0 : ends_[index - 1];
    return std::string_view(text_).substr(begin, ends_[index] - begin);
}

std::vector<std::string> SourceColumnNames::ToVector() const {
    std::vector<std::string> names;
    names.reserve(size());
    for (size_t i = 0; i < size(); ++i) {
        names.emplace_back((*this)[i]);
    }
    return names;
}

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

EmailColumnChoice PickEmailColumn(const SourceColumnNames& names) {
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
        if (names[i].find('@') != std::string_view::npos) {
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

ImportColumnMap BuildColumnMap(RecipientList& list, const SourceColumnNames& names,
                               int emailColumn) {
    ImportColumnMap map;
    map.fill(-1);
    // FindColumn for each of the file's names would take time that grows
    // with the square of their number; an index of the captions in lower
    // case gives the same first column of each name.
    std::unordered_map<std::string, int> columns;
    for (size_t k = 2; k < list.ColumnCount(); ++k) {
        columns.try_emplace(LowerAscii(list.Column(k).caption), static_cast<int>(k));
    }
    for (size_t i = 0; i < names.size(); ++i) {
        const int source = static_cast<int>(i);
        if (source == emailColumn) {
            map[0] = source;
            continue;
        }
        const auto [entry, added] = columns.try_emplace(LowerAscii(names[i]), -1);
        if (added) {
            entry->second =
                static_cast<int>(list.AddColumn(std::string(names[i]), kImportColumnWidth));
        }
        if (static_cast<size_t>(entry->second) < kMaxImportColumns) {
            map[static_cast<size_t>(entry->second)] = source;
        }
    }
    return map;
}

bool AppendImportedRow(RecipientList& list, const ImportColumnMap& map,
                       std::span<const std::string_view> values,
                       std::vector<std::string_view>& scratch) {
    const auto value = [&](int source) {
        return source >= 0 && static_cast<size_t>(source) < values.size()
                   ? TrimBlanksAndControls(values[static_cast<size_t>(source)])
                   : std::string_view();
    };
    const std::optional<std::string> caption = StorableCaption(value(map[0]));
    if (!caption) return false;
    scratch.clear();
    scratch.emplace_back();  // the Result column
    const size_t columns = std::min(list.ColumnCount(), kMaxImportColumns);
    for (size_t k = 2; k < columns; ++k) {
        scratch.push_back(value(map[k]));
    }
    list.AppendRow(*caption, scratch, kIconNotChecked, kMarkChecked, -1);
    return true;
}

}  // namespace mv
