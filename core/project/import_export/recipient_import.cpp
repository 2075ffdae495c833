#include "project/import_export/recipient_import.h"

#include <algorithm>
#include <stdexcept>

#include "platform/text/code_page.h"
#include "project/import_export/csv_fields.h"
#include "project/import_export/import_export_error.h"
#include "project/import_export/text_line_reader.h"
#include "storage/dbf/tb_dbf.h"

namespace mv {

namespace {

bool AllAscii(std::string_view text) {
    unsigned char any = 0;
    for (const char c : text) {
        any |= static_cast<unsigned char>(c);
    }
    return any < 0x80;
}

bool IsUtf8(std::string_view text) {
    return AllAscii(text) || IsValidUtf8(text);
}

}  // namespace

ImportFileKind ImportFileKindOf(const std::filesystem::path& fileName) {
    return SameText(fileName.extension().string(), ".dbf") ? ImportFileKind::DBase
                                                           : ImportFileKind::Text;
}

const char* FileKindText(ImportFileKind kind) {
    return kind == ImportFileKind::DBase ? "dBase III Compatible Table"
                                         : "Plain Text / Comma Separated Values";
}

RecipientImport::RecipientImport(std::filesystem::path fileName)
    : fileName_(std::move(fileName)), kind_(ImportFileKindOf(fileName_)) {
    columnMap_.fill(-1);
}

RecipientImport::~RecipientImport() {
    if (importing_) {
        try {
            EndImport();
        } catch (...) {
            // An observer of the list failed; a destructor must not throw.
        }
    }
}

void RecipientImport::CheckIdle(const char* operation) const {
    if (importing_) {
        throw std::logic_error(std::string("RecipientImport::") + operation +
                               " called while importing");
    }
}

// ---- Preview ----

// A text file's preview under way: the file is read through once, to count
// its lines and to learn whether every line is UTF-8.
struct RecipientImport::Scan {
    std::unique_ptr<TextLineReader> reader;
    std::string first;  // the first line, as read
    bool utf8 = true;
    int64_t lines = 0;
};

void RecipientImport::Open() {
    BeginOpen();
    while (OpenSome(Clock::time_point::max())) {
    }
}

void RecipientImport::BeginOpen() {
    CheckIdle("Open");
    Close();
    if (kind_ == ImportFileKind::DBase) {
        OpenTable();
        ApplyEmailChoice();
        return;
    }
    auto reader = std::make_unique<TextLineReader>(fileName_);
    reader->AtEnd();  // reads the first bytes: the byte-order mark, the NUL check
    if (reader->HoldsNul()) {
        throw EImportError::NotText(fileName_);
    }
    scan_ = std::make_unique<Scan>();
    scan_->reader = std::move(reader);
}

bool RecipientImport::OpenSome(Clock::time_point sliceEnd) {
    if (!scan_) {
        return false;  // a table, or a preview complete
    }
    // The clock is asked every few lines: a line of the preview costs less
    // than asking it.
    constexpr int64_t kLinesPerLook = 16;
    const bool timed = sliceEnd != Clock::time_point::max();
    Scan& scan = *scan_;
    std::string_view line;
    try {
        for (int64_t n = 1;; ++n) {
            if (!scan.reader->ReadLine(line)) {
                break;
            }
            if (scan.lines++ == 0) {
                scan.first.assign(line);
            }
            scan.utf8 = scan.utf8 && IsUtf8(line);
            if (timed && n % kLinesPerLook == 0 && Clock::now() >= sliceEnd) {
                return true;
            }
        }
        FinishText();
    } catch (...) {
        scan_.reset();
        throw;
    }
    return false;
}

bool RecipientImport::IsOpen() const {
    return reader_ != nullptr || table_ != nullptr;
}

void RecipientImport::Close() {
    CheckIdle("Close");
    scan_.reset();
    reader_.reset();
    table_.reset();
}

// The end of a text preview: the encoding, the line count, the columns.
void RecipientImport::FinishText() {
    Scan& scan = *scan_;
    const ByteOrderMark mark = scan.reader->Mark();
    if (mark == ByteOrderMark::Utf16Le || mark == ByteOrderMark::Utf16Be) {
        encoding_ = mark == ByteOrderMark::Utf16Le ? TextEncoding::Utf16Le : TextEncoding::Utf16Be;
    } else {
        encoding_ = scan.utf8 ? TextEncoding::Utf8 : TextEncoding::Windows1252;
    }
    progressMax_ = std::max<int64_t>(scan.lines, 1);
    std::string decoded;
    const std::string_view firstLine = Decode(scan.first, decoded);
    delimiter_ = ChooseDelimiter(firstLine);
    names_.Clear();
    ForEachField(firstLine, delimiter_, [this](std::string_view name) { names_.Add(name); });
    reader_ = std::move(scan.reader);
    scan_.reset();
    ApplyEmailChoice();
}

void RecipientImport::OpenTable() {
    auto table = std::make_unique<TTbDbf>("tbDbase");
    table->SetHideDeletedRecs(false);
    table->SetTableLanguage(TTableLanguage::tlOem);
    // An import only reads: a write-protected table opens too, and a missing
    // one is reported rather than created.
    table->SetReadOnly(true);
    table->SetCreateIfNotFound(false);
    // Absolute, so that the table component's trimming of blanks cannot
    // change which file is meant.
    table->SetDbfFileName(std::filesystem::absolute(fileName_).string());
    table->SetActive(true);
    progressMax_ = table->RecCount();
    names_.Clear();
    for (int i = 0; i < table->FieldCount(); ++i) {
        names_.Add(table->Fields(i).FieldName());
    }
    table_ = std::move(table);
}

void RecipientImport::ApplyEmailChoice() {
    const EmailColumnChoice choice = PickEmailColumn(names_);
    emailColumn_ = choice.index;
    if (choice.firstLine) {
        firstLine_ = *choice.firstLine;
    }
}

void RecipientImport::SetEmailColumn(int index) {
    if (index < 0 || static_cast<size_t>(index) >= names_.size()) {
        throw std::out_of_range("RecipientImport::SetEmailColumn");
    }
    emailColumn_ = index;
}

bool RecipientImport::SelectEmailColumn(std::string_view name) {
    for (size_t i = 0; i < names_.size(); ++i) {
        if (SameText(names_[i], name)) {
            emailColumn_ = static_cast<int>(i);
            return true;
        }
    }
    return false;
}

std::string_view RecipientImport::Decode(std::string_view line, std::string& out) const {
    // A line is checked again: the file may have changed since the preview.
    // (The reader hands out UTF-16 files in UTF-8.)
    if (encoding_ != TextEncoding::Windows1252 && IsUtf8(line)) {
        return line;
    }
    out = CodePage::Ansi().ToUtf8(line);
    return out;
}

// ---- Import ----

// The state of a running import: the list, and what each line or record
// reuses.
struct RecipientImport::Pass {
    explicit Pass(RecipientList& into) : list(into) {}
    RecipientList& list;
    size_t rowsBefore = 0;
    size_t refused = 0;
    // Text: only the fields that feed a list column are kept (a line may
    // hold millions of them), with a map that points into them.
    std::vector<size_t> sources;
    ImportColumnMap dense{};
    std::string decoded;
    std::string buffer;
    std::vector<std::string_view> fields;
    // dBase: only the fields that feed a list column are read.
    std::vector<TField*> wanted;
    std::vector<std::string> texts;
    std::vector<std::string_view> values;
    std::vector<std::string_view> scratch;
};

ImportResult RecipientImport::Import(RecipientList& list) {
    BeginImport(list);
    while (ImportSome(Clock::time_point::max())) {
    }
    return EndImport();
}

void RecipientImport::BeginImport(RecipientList& list) {
    CheckIdle("Import");
    if (!IsOpen()) {
        if (!scan_) {
            BeginOpen();
        }
        while (OpenSome(Clock::time_point::max())) {
        }
    }
    pass_ = std::make_unique<Pass>(list);
    importing_ = true;
    stopped_ = false;
    position_ = 0;
    list.BeginUpdate();
    try {
        if (mode_ == ImportMode::Replace) {
            list.Clear();
            list.ResetColumns();
        }
        pass_->rowsBefore = list.RowCount();
        columnMap_ = BuildColumnMap(list, names_, emailColumn_);
        if (kind_ == ImportFileKind::DBase) {
            BeginTable();
        } else {
            BeginText();
        }
    } catch (...) {
        EndImport();
        throw;
    }
}

bool RecipientImport::ImportSome(Clock::time_point sliceEnd) {
    if (!importing_) {
        throw std::logic_error("RecipientImport::ImportSome called without BeginImport");
    }
    const bool timed = sliceEnd != Clock::time_point::max();
    try {
        for (bool first = true; !stopped_ && !AtEndOfData(); first = false) {
            if (!first && timed && Clock::now() >= sliceEnd) {
                return true;
            }
            Step(++position_);
            if (kind_ == ImportFileKind::DBase) {
                ImportRecord();
            } else {
                ImportLine();
            }
        }
    } catch (...) {
        EndImport();
        throw;
    }
    return false;
}

ImportResult RecipientImport::EndImport() {
    if (!importing_) {
        throw std::logic_error("RecipientImport::EndImport called without BeginImport");
    }
    const std::unique_ptr<Pass> pass = std::move(pass_);
    importing_ = false;
    const ImportResult result{pass->list.RowCount() - pass->rowsBefore, stopped_, pass->refused};
    stopped_ = true;
    pass->list.EndUpdate();
    return result;
}

void RecipientImport::Step(int64_t position) {
    if (OnProgress) {
        OnProgress(*this, position);
    }
}

bool RecipientImport::AtEndOfData() {
    return kind_ == ImportFileKind::DBase ? table_->Eof() : reader_->AtEnd();
}

namespace {

// The source columns that feed the list (ascending, each once), and the map
// with each entry pointing into that list instead of at a source column.
void MappedSources(const ImportColumnMap& map, std::vector<size_t>& sources,
                   ImportColumnMap& dense) {
    sources.clear();
    for (const int source : map) {
        if (source >= 0) {
            sources.push_back(static_cast<size_t>(source));
        }
    }
    std::sort(sources.begin(), sources.end());
    sources.erase(std::unique(sources.begin(), sources.end()), sources.end());
    for (size_t k = 0; k < map.size(); ++k) {
        dense[k] = map[k] < 0 ? -1
                              : static_cast<int>(std::lower_bound(sources.begin(), sources.end(),
                                                                  static_cast<size_t>(map[k])) -
                                                 sources.begin());
    }
}

}  // namespace

void RecipientImport::BeginText() {
    reader_->Rewind();
    if (firstLine_ == ImportFirstLine::Header) {
        std::string_view header;
        reader_->ReadLine(header);
    }
    MappedSources(columnMap_, pass_->sources, pass_->dense);
}

void RecipientImport::ImportLine() {
    Pass& pass = *pass_;
    std::string_view line;
    reader_->ReadLine(line);
    const std::string_view text = Decode(line, pass.decoded);
    if (TrimBlanksAndControls(text).empty()) {
        return;
    }
    SplitWantedFields(text, delimiter_, pass.sources, pass.buffer, pass.fields);
    if (!AppendImportedRow(pass.list, pass.dense, pass.fields, pass.scratch)) ++pass.refused;
}

void RecipientImport::BeginTable() {
    Pass& pass = *pass_;
    pass.wanted.assign(names_.size(), nullptr);
    for (const int source : columnMap_) {
        if (source >= 0) {
            pass.wanted[static_cast<size_t>(source)] = &table_->Fields(source);
        }
    }
    pass.texts.resize(names_.size());
    pass.values.resize(names_.size());
    table_->First();
}

void RecipientImport::ImportRecord() {
    Pass& pass = *pass_;
    for (size_t i = 0; i < pass.wanted.size(); ++i) {
        if (pass.wanted[i] != nullptr) {
            pass.texts[i] = pass.wanted[i]->AsString();
            pass.values[i] = pass.texts[i];
        }
    }
    if (!AppendImportedRow(pass.list, columnMap_, pass.values, pass.scratch)) ++pass.refused;
    table_->Next();
}

}  // namespace mv
