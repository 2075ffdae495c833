// Writing the exported rows as a dBase table through the table engine.
#pragma once

#include <cstddef>
#include <filesystem>
#include <vector>

#include "project/list/recipient_list.h"

namespace mv {

// The most fields a dBase table holds.
inline constexpr size_t kMaxDbfExportFields = 255;

// Writes `rows` of `list` to the table `fileName`: one character field per
// list column (names from DbfFieldNames, widths from the longest value;
// longer values are cut at 254 characters), character data in the OEM code
// page with "?" for characters it lacks. The engine builds the table in a
// temporary file beside the target, which takes the target's name once the
// table is complete and on the disk. EExportError for a list of more than
// 255 columns, ETableError when the engine fails, EFCreateError when the
// file cannot be created or renamed.
void WriteDbfExport(const RecipientList& list, const std::vector<size_t>& rows,
                    const std::filesystem::path& fileName);

}  // namespace mv
