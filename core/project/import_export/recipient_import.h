// Importing a recipient list from a file: a text or CSV file, or a dBase
// table (extension ".dbf", compared without regard to case).
//
// The work has two steps, so that a dialog can show the choices and let the
// user change them, and a command line can take them as they come or
// override them:
//
//   RecipientImport import(path);
//   import.Open();                        // preview: columns, choices, progress maximum
//   import.SelectEmailColumn("Mail");     // optional overrides
//   import.SetMode(ImportMode::Replace);
//   import.OnProgress = [&](RecipientImport& sender, int64_t position) { ... };
//   ImportResult result = import.Import(list);
//
// A front end that must keep its event loop turning imports in slices
// instead: BeginImport(list), then ImportSome(sliceEnd) from the loop until
// it returns false, then EndImport().
//
// Every data line or record becomes one row appended after the list's rows,
// in file order; blank lines of a text file are skipped, and so is a line or
// record whose address a project file cannot store (counted as refused). No
// address is checked and no duplicate looked for. Nothing here prints or asks; errors
// are raised: EImportError for a text file that cannot be opened or read,
// ETableError for a table the dBase engine refuses. Rows imported before an
// error stay in the list. The caller marks its project modified.
//
// Text files may be UTF-8 (with or without a byte-order mark), UTF-16 with
// a byte-order mark (LE or BE) or Windows-1252; the preview decides per
// file: Windows-1252 when any line is not valid UTF-8. A file without a
// UTF-16 mark that holds a NUL byte within its first 4 KiB is no text file
// and is refused. Lines may end in CR LF, LF or CR. Fields are separated by
// commas, or by tabs when the first line holds tabs and no comma.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "project/import_export/import_columns.h"
#include "project/list/recipient_list.h"

namespace mv {

class TextLineReader;
class TTbDbf;

enum class ImportFileKind { Text, DBase };
enum class ImportMode { Append, Replace };
enum class TextEncoding { Utf8, Windows1252, Utf16Le, Utf16Be };

// dBase for the extension ".dbf" (without regard to case), text otherwise.
ImportFileKind ImportFileKindOf(const std::filesystem::path& fileName);
// "Plain Text / Comma Separated Values" or "dBase III Compatible Table".
const char* FileKindText(ImportFileKind kind);

struct ImportResult {
    size_t rows = 0;       // rows appended to the list
    bool stopped = false;  // Stop() was called during the import
    // Lines or records not imported: their address's local part holds
    // characters a project file cannot store (storable_caption.h).
    size_t refused = 0;
};

class RecipientImport {
  public:
    explicit RecipientImport(std::filesystem::path fileName);
    ~RecipientImport();
    RecipientImport(const RecipientImport&) = delete;
    RecipientImport& operator=(const RecipientImport&) = delete;

    const std::filesystem::path& FileName() const { return fileName_; }
    ImportFileKind FileKind() const { return kind_; }

    using Clock = std::chrono::steady_clock;

    // ---- Preview ----
    // Opens the file and reads its columns: the fields of a text file's
    // first line or the table's field names. Picks the e-mail column (and,
    // for text, the first-line setting) and sets the progress maximum: the
    // text file's number of lines (at least 1), or the table's record count
    // with deleted records. The file stays open until Close or destruction.
    // EImportError for a file that is no text (see above).
    void Open();
    // The same preview in slices, for a front end that keeps its event loop
    // turning while a large text file is read through: BeginOpen opens the
    // file (a table's fields are read at once), and each OpenSome reads on
    // until the preview is complete (false) or the clock has passed
    // `sliceEnd` (true). The choices and the counts below are known once
    // IsOpen(). An error raised by either has ended the preview.
    void BeginOpen();
    bool OpenSome(Clock::time_point sliceEnd);
    // The preview is complete and the file open.
    bool IsOpen() const;
    void Close();

    // The source columns, as choices for the e-mail column.
    std::vector<std::string> ColumnNames() const { return names_.ToVector(); }
    size_t ColumnCount() const { return names_.size(); }
    // The chosen e-mail column (-1 only when there are no columns).
    int EmailColumn() const { return emailColumn_; }
    // std::out_of_range unless 0 <= index < ColumnCount().
    void SetEmailColumn(int index);
    // Chooses the first column of that name (without regard to case); false
    // and no change when there is none.
    bool SelectEmailColumn(std::string_view name);

    // Whether a text file's first line is data or a header (default Data).
    // A table has no header line: the setting does not apply to it.
    ImportFirstLine FirstLine() const { return firstLine_; }
    void SetFirstLine(ImportFirstLine firstLine) { firstLine_ = firstLine; }
    bool FirstLineApplies() const { return kind_ == ImportFileKind::Text; }

    // Append (default) keeps the list; Replace first removes every row and
    // resets the columns to "Email" and "Result".
    ImportMode Mode() const { return mode_; }
    void SetMode(ImportMode mode) { mode_ = mode; }

    int64_t ProgressMax() const { return progressMax_; }
    // How the text file's bytes are read (known after Open).
    TextEncoding Encoding() const { return encoding_; }
    // What separates the fields of the text file's lines: ',' or '\t'
    // (known after Open).
    char Delimiter() const { return delimiter_; }

    // ---- Import ----
    // Opens the file first when Open was not called. Adds a list column for
    // every source column without one, then appends the rows inside one
    // BeginUpdate/EndUpdate bracket of the list. Before each line or record
    // it checks Stopped(), then raises OnProgress; a stop requested there
    // lets that line or record complete.
    ImportResult Import(RecipientList& list);

    // ---- Import in slices ----
    // The same import, cut into slices so that a front end can turn its
    // event loop in between. BeginImport does what Import does before the
    // first line or record (opening the file when Open was not called,
    // Replace, the column map) and opens the list's update bracket; nobody
    // else may change the list until EndImport. Each ImportSome reads lines
    // or records, at least one, until the import ends or the clock passes
    // `sliceEnd`, and returns whether any are left (false at the end of the
    // file and after a stop). EndImport closes the bracket and gives the
    // result. An error raised by BeginImport or ImportSome has ended the
    // import already; the rows read so far stay. Destroying the import ends
    // one still running. `list` must outlive the import.
    void BeginImport(RecipientList& list);
    bool ImportSome(Clock::time_point sliceEnd);
    ImportResult EndImport();
    // Whether an import runs (between BeginImport and EndImport).
    bool Importing() const { return importing_; }
    // The lines (blank ones too) or records read by the running or the last
    // import.
    int64_t Position() const { return position_; }

    // True while no import runs, and once a stop was requested.
    bool Stopped() const { return stopped_; }
    // Ends a running import before its next line or record; the rows read
    // so far stay.
    void Stop() { stopped_ = true; }

    // The map of the last import: for list column k the source column that
    // fed it, or -1.
    const ImportColumnMap& ColumnMap() const { return columnMap_; }

    // Raised once per line or record (blank lines too) with its 1-based
    // position, so that a front end can step a progress bar and offer a
    // stop. The handler may call Stop(); it must not call Open, Close or
    // Import.
    std::function<void(RecipientImport& sender, int64_t position)> OnProgress;

  private:
    struct Scan;
    void FinishText();
    void OpenTable();
    void ApplyEmailChoice();
    struct Pass;
    void BeginText();
    void BeginTable();
    // Read one line or record.
    void ImportLine();
    void ImportRecord();
    bool AtEndOfData();
    void Step(int64_t position);
    void CheckIdle(const char* operation) const;
    // The line in UTF-8: as it is, or converted from Windows-1252 into `out`.
    std::string_view Decode(std::string_view line, std::string& out) const;

    std::filesystem::path fileName_;
    ImportFileKind kind_;
    std::unique_ptr<TextLineReader> reader_;
    std::unique_ptr<Scan> scan_;  // a text preview under way
    std::unique_ptr<TTbDbf> table_;
    SourceColumnNames names_;
    int emailColumn_ = -1;
    ImportFirstLine firstLine_ = ImportFirstLine::Data;
    ImportMode mode_ = ImportMode::Append;
    int64_t progressMax_ = 0;
    TextEncoding encoding_ = TextEncoding::Utf8;
    char delimiter_ = ',';
    bool stopped_ = true;
    bool importing_ = false;
    int64_t position_ = 0;
    ImportColumnMap columnMap_{};
    std::unique_ptr<Pass> pass_;  // the running import's state
};

}  // namespace mv
