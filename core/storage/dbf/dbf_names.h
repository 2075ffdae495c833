// File-name rules of the table engine.
#pragma once

#include <string>
#include <string_view>

namespace mv::dbf {

// Removes blanks and control characters from both ends.
std::string TrimBlanks(std::string_view text);

// Adds `extension` (without the dot) when the last path element has none; a
// name that ends with "." keeps none.
std::string DefaultExtension(std::string_view name, std::string_view extension);

// Replaces the extension of the last path element (or adds one).
std::string ChangeExtension(std::string_view name, std::string_view extension);

// The path opened on disk. A name ending in "." means a file without an
// extension; the dots are dropped so that "list." opens the file "list".
std::string DiskPath(std::string_view name);

// The memo file of a table: same name, extension "DBT" in the case of the
// table's extension ("dbt" beside "list.dbf"), or the other case when only
// that one exists.
std::string MemoFileName(std::string_view tableName);

}  // namespace mv::dbf
