// How the columns of an imported file meet the columns of the recipient
// list: which source column holds the e-mail address, which list column
// receives each other source column, and how many list columns can receive
// values at all.
#pragma once

#include <array>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "project/list/recipient_list.h"

namespace mv {

// List columns 0 to 254 can receive imported values; list columns from 255
// on are still added but stay empty in imported rows.
inline constexpr size_t kMaxImportColumns = 255;
// The width of a list column that an import adds.
inline constexpr int32_t kImportColumnWidth = 120;

// Entry k: the index of the source column whose values go to list column k,
// or -1 for none. Entry 0 is the e-mail column; entry 1 (Result) stays -1.
using ImportColumnMap = std::array<int, kMaxImportColumns>;

enum class ImportFirstLine { Data, Header };

// The names of a file's source columns, packed into one text: a first line
// of millions of fields costs a few bytes per field, not a string each.
class SourceColumnNames {
  public:
    SourceColumnNames() = default;
    SourceColumnNames(std::initializer_list<std::string_view> names);

    // EImportError when the names together exceed 4 GiB.
    void Add(std::string_view name);
    void Clear();
    size_t size() const { return ends_.size(); }
    bool empty() const { return ends_.empty(); }
    std::string_view operator[](size_t index) const;
    std::vector<std::string> ToVector() const;

  private:
    std::string text_;
    std::vector<uint32_t> ends_;  // where each name ends in text_
};

struct EmailColumnChoice {
    // The source column to select (0 when nothing fits, -1 when there are
    // no source columns at all).
    int index = 0;
    // The first-line setting to make, or none to keep the current one.
    std::optional<ImportFirstLine> firstLine;
};

// A column named "email", else one named "e-mail" (without regard to case)
// is chosen with the first line as a header; otherwise the first column that
// contains "@" is chosen with the first line as data; otherwise column 0,
// with the first-line setting left as it is.
EmailColumnChoice PickEmailColumn(const SourceColumnNames& names);

// Equal without regard to the case of ASCII letters.
bool SameText(std::string_view a, std::string_view b);

// The first list column from index 2 on whose caption equals `name` without
// regard to case; -1 when there is none.
int FindColumn(const RecipientList& list, std::string_view name);

// Builds the map for the source columns `names` with `emailColumn` as the
// e-mail column. Every other source column goes to the list column of its
// name, which is added (width 120) when the list has none; a later source
// column of the same name takes over that list column. The e-mail column
// never becomes a list column of its own.
ImportColumnMap BuildColumnMap(RecipientList& list, const SourceColumnNames& names,
                               int emailColumn);

// Appends the row of one imported line or record, whose source columns are
// `values`: the caption is the e-mail value, the Result sub-item is empty,
// and each list column from the third to the 255th gets its mapped value
// (empty when none is mapped or the line is too short). Values are trimmed
// of blanks and control characters. A new row is marked for checking, has
// never been checked and has an empty transcript. The caption is stored as
// StorableCaption gives it; false, and no row, when it cannot be stored.
bool AppendImportedRow(RecipientList& list, const ImportColumnMap& map,
                       std::span<const std::string_view> values,
                       std::vector<std::string_view>& scratch);

}  // namespace mv
