#include "project/import_export/recipient_export.h"

#include <array>
#include <string>
#include <string_view>

#include "engine/result_codes.h"
#include "platform/file/atomic_file.h"
#include "project/import_export/csv_fields.h"
#include "project/import_export/dbf_export.h"
#include "project/import_export/export_columns.h"
#include "project/import_export/import_columns.h"
#include "project/import_export/import_export_error.h"
#include "project/list/row_verdict.h"

namespace mv {

namespace {

// The result texts of the three failures that an export may tolerate.
const std::array<std::string, 3>& ToleratedTexts() {
    static const std::array<std::string, 3> texts{ResultText(450), ResultText(452),
                                                  ResultText(ResultTimeOut)};
    return texts;
}

void WriteText(const RecipientList& list, const std::vector<size_t>& rows, ByteSink& out) {
    std::string line;
    for (const size_t row : rows) {
        line.assign(list.Caption(row));
        // A line break inside a caption would split it into two addresses.
        for (char& c : line) {
            if (c == '\r' || c == '\n') {
                c = ' ';
            }
        }
        line += '\n';
        out.Write(line);
    }
}

void WriteCsv(const RecipientList& list, const std::vector<size_t>& rows, ByteSink& out) {
    const std::vector<std::string> captions = ExportColumnCaptions(list);
    std::string line;
    for (size_t k = 0; k < captions.size(); ++k) {
        if (k > 0) {
            line += ',';
        }
        AppendCsvField(line, captions[k]);
    }
    line += "\r\n";
    out.Write(line);
    for (const size_t row : rows) {
        line.clear();
        for (size_t k = 0; k < captions.size(); ++k) {
            if (k > 0) {
                line += ',';
            }
            AppendCsvField(line, ExportCell(list, row, k));
        }
        line += "\r\n";
        out.Write(line);
    }
}

void WriteWithAtomicFile(const std::filesystem::path& fileName,
                         const std::function<void(ByteSink&)>& produce) {
    try {
        WriteFileAtomically(fileName, produce);
    } catch (const EWriteError& e) {
        throw EExportError("Cannot write file " + fileName.string() + ": " +
                           SystemErrorText(e.SystemError()));
    }
}

}  // namespace

std::optional<ExportFormat> ExportFormatOf(const std::filesystem::path& fileName) {
    const std::string extension = fileName.extension().string();
    if (SameText(extension, ".txt")) {
        return ExportFormat::Text;
    }
    if (SameText(extension, ".csv")) {
        return ExportFormat::Csv;
    }
    if (SameText(extension, ".dbf")) {
        return ExportFormat::DBase;
    }
    return std::nullopt;
}

bool PassesTolerance(const RecipientList& list, size_t row, const ExportTolerance& tolerance) {
    if (list.ImageIndex(row) == kIconValid) {
        return true;
    }
    if (tolerance.zero) {
        return false;
    }
    const std::optional<ResultColumn> result = ParseResultColumn(list.SubItem(row, 0));
    if (!result) {
        return false;
    }
    const auto& tolerated = ToleratedTexts();
    return (tolerance.mailboxUnavailable && result->text == tolerated[0]) ||
           (tolerance.exceededStorage && result->text == tolerated[1]) ||
           (tolerance.timeOut && result->text == tolerated[2]);
}

std::vector<size_t> RowsToExport(const RecipientList& list, const ExportTolerance& tolerance) {
    std::vector<size_t> rows;
    for (size_t row = 0; row < list.RowCount(); ++row) {
        if (PassesTolerance(list, row, tolerance)) {
            rows.push_back(row);
        }
    }
    return rows;
}

std::vector<size_t> RowsWithVerdicts(const RecipientList& list, VerdictSet verdicts) {
    std::vector<size_t> rows;
    for (size_t row = 0; row < list.RowCount(); ++row) {
        const std::optional<RowVerdict> verdict = VerdictOfRow(list, row);
        if (verdict && verdicts.Has(verdict->verdict)) {
            rows.push_back(row);
        }
    }
    return rows;
}

size_t ExportRecipients(const RecipientList& list, const std::filesystem::path& fileName,
                        const ExportTolerance& tolerance) {
    return ExportRows(list, fileName, [&] { return RowsToExport(list, tolerance); });
}

size_t ExportRecipientsByVerdict(const RecipientList& list, const std::filesystem::path& fileName,
                                 VerdictSet verdicts) {
    return ExportRows(list, fileName, [&] { return RowsWithVerdicts(list, verdicts); });
}

size_t ExportRows(const RecipientList& list, const std::filesystem::path& fileName,
                  const std::function<std::vector<size_t>()>& chooseRows) {
    const std::optional<ExportFormat> format = ExportFormatOf(fileName);
    if (!format) {
        throw EExportError("Cannot export to " + fileName.string() +
                           ": the file name must end in .txt, .csv or .dbf");
    }
    const std::vector<size_t> rows = chooseRows();
    switch (*format) {
        case ExportFormat::Text:
            WriteWithAtomicFile(fileName, [&](ByteSink& out) { WriteText(list, rows, out); });
            break;
        case ExportFormat::Csv:
            WriteWithAtomicFile(fileName, [&](ByteSink& out) { WriteCsv(list, rows, out); });
            break;
        case ExportFormat::DBase:
            WriteDbfExport(list, rows, fileName);
            break;
    }
    return rows.size();
}

}  // namespace mv
