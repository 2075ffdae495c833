// Exporting the recipient list: the rows whose result passes the chosen
// tolerance, or whose verdict is among the chosen ones, written in the format
// that the file's extension names.
//
//   ".txt"  one line per row: the caption (the e-mail address), lines end in LF;
//   ".csv"  a header line of the column captions, then every column of each
//           row (RFC 4180: quoted where needed, lines end in CR LF), UTF-8;
//   ".dbf"  a dBase table with one character field per column (see
//           dbf_export.h), character data in the OEM code page.
//
// The file is replaced atomically: it is written beside the target under a
// temporary name and takes the target's name only when complete, so a
// failure leaves the old file as it was. Nothing here prints or asks; errors
// are raised (EExportError, EFCreateError, ETableError).
#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>
#include <optional>
#include <vector>

#include "project/list/recipient_list.h"
#include "project/list/row_verdict.h"

namespace mv {

enum class ExportFormat { Text, Csv, DBase };

// By the extension, without regard to case; none for any other extension.
std::optional<ExportFormat> ExportFormatOf(const std::filesystem::path& fileName);

// Which rows an export takes. With `zero` ("Tolerance Zero") only valid
// addresses; otherwise the valid ones and those whose result is one of the
// chosen failures that may pass with time.
struct ExportTolerance {
    bool zero = true;
    bool mailboxUnavailable = false;  // "Mailbox unavailable"
    bool exceededStorage = false;     // "Exceeded storage allocation. Try later"
    bool timeOut = false;             // "Time Out: Recipient's SMTP Server didn't respond"
    bool operator==(const ExportTolerance&) const = default;
};

// Whether the row passes: valid (result icon 0), or, without `zero`, its
// Result text "[code] text" carries one of the chosen result texts.
bool PassesTolerance(const RecipientList& list, size_t row, const ExportTolerance& tolerance);

// The rows that pass, in list order.
std::vector<size_t> RowsToExport(const RecipientList& list, const ExportTolerance& tolerance);

// The rows whose verdict (VerdictOfRow: from the code alone for rows read
// from disk) is in `verdicts`, in list order. Rows without a result are
// never among them.
std::vector<size_t> RowsWithVerdicts(const RecipientList& list, VerdictSet verdicts);

// Writes the rows that pass (or have one of the verdicts) to `fileName` in
// the format of its extension and returns how many were written.
// EExportError for an extension of no format.
size_t ExportRecipients(const RecipientList& list, const std::filesystem::path& fileName,
                        const ExportTolerance& tolerance);
size_t ExportRecipientsByVerdict(const RecipientList& list, const std::filesystem::path& fileName,
                                 VerdictSet verdicts);
// The same with the rows chosen by `chooseRows` (called once the file name
// has been accepted).
size_t ExportRows(const RecipientList& list, const std::filesystem::path& fileName,
                  const std::function<std::vector<size_t>()>& chooseRows);

}  // namespace mv
