// How the list's columns become the columns of an export: their captions,
// the text of each cell, and for a dBase table valid field names and widths.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "project/list/recipient_list.h"

namespace mv {

// The widest character field a dBase table holds.
inline constexpr size_t kMaxDbfFieldWidth = 254;

// The captions of the list's columns; {"Email"} for a list without columns,
// so that the addresses are never lost.
std::vector<std::string> ExportColumnCaptions(const RecipientList& list);

// Column 0 is the caption, column k the row's sub-item k-1.
std::string_view ExportCell(const RecipientList& list, size_t row, size_t column);

// dBase field names for `captions`, in order: at most 10 characters of
// A-Z, 0-9 and "_", beginning with a letter, upper case ("Last name" gives
// LAST_NAME, "2nd" F2ND, an empty caption FIELD); a name already given gets
// a numeric suffix instead of its last characters (NAME, NAME2, NAME3).
std::vector<std::string> DbfFieldNames(const std::vector<std::string>& captions);

// The number of characters `text` takes in a single-byte code page.
size_t CharacterCount(std::string_view utf8);

// For each of `columns` columns the longest cell of `rows`, in characters,
// within 1..254.
std::vector<int> DbfFieldWidths(const RecipientList& list, const std::vector<size_t>& rows,
                                size_t columns);

}  // namespace mv
