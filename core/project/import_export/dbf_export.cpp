#include "project/import_export/dbf_export.h"

#include <string>

#include "platform/file/atomic_file.h"
#include "project/import_export/export_columns.h"
#include "project/import_export/import_export_error.h"
#include "storage/dbf/tb_dbf.h"

namespace mv {

namespace {

std::vector<std::string> FieldDefinitions(const RecipientList& list,
                                          const std::vector<size_t>& rows) {
    const std::vector<std::string> names = DbfFieldNames(ExportColumnCaptions(list));
    const std::vector<int> widths = DbfFieldWidths(list, rows, names.size());
    std::vector<std::string> lines;
    for (size_t k = 0; k < names.size(); ++k) {
        lines.push_back(names[k] + ",C," + std::to_string(widths[k]) + ",0");
    }
    return lines;
}

// Creates the table at `tableName` and appends every row.
void BuildTable(const RecipientList& list, const std::vector<size_t>& rows,
                const std::string& tableName, std::vector<std::string> definitions) {
    const size_t columns = definitions.size();
    TTbDbf table("tbExport");
    table.SetTableLanguage(TTableLanguage::tlOem);
    table.SetCreateIfNotFound(false);
    table.SetDbfFileName(tableName);
    table.SetDbfFields(std::move(definitions));
    table.CreateTable();
    table.SetActive(true);
    std::vector<TField*> fields;
    for (size_t k = 0; k < columns; ++k) {
        fields.push_back(&table.Fields(static_cast<int>(k)));
    }
    for (const size_t row : rows) {
        table.Append();
        for (size_t k = 0; k < columns; ++k) {
            fields[k]->SetAsString(ExportCell(list, row, k));
        }
        table.Post();
    }
    table.Close();
}

}  // namespace

void WriteDbfExport(const RecipientList& list, const std::vector<size_t>& rows,
                    const std::filesystem::path& fileName) {
    if (list.ColumnCount() > kMaxDbfExportFields) {
        throw EExportError("Cannot export to " + fileName.string() +
                           ": a dBase table holds at most " + std::to_string(kMaxDbfExportFields) +
                           " fields, the list has " + std::to_string(list.ColumnCount()) +
                           " columns");
    }
    std::vector<std::string> definitions = FieldDefinitions(list, rows);
    // The atomic file makes the temporary file (with the old file's
    // permissions), flushes it and renames it; the engine writes the table
    // into it under its own name. Absolute, so that the engine's trimming of
    // blanks cannot change which file is meant.
    AtomicFile file(fileName, TemporaryName::FromTheStart);
    BuildTable(list, rows, std::filesystem::absolute(file.TemporaryPath()).string(),
               std::move(definitions));
    try {
        file.Commit();
    } catch (const EWriteError& e) {
        throw EExportError("Cannot write file " + fileName.string() + ": " +
                           SystemErrorText(e.SystemError()));
    }
}

}  // namespace mv
