#include "storage/dbf/dbf_table.h"

#include <algorithm>
#include <limits>
#include <new>

#include "storage/dbf/dbf_names.h"
#include "storage/dbf/table_error.h"

namespace mv::dbf {

namespace {

constexpr std::size_t kReadWindow = std::size_t{64} * 1024;
constexpr const char* kPutOperation = " [Replace/Append/PutDbfRecord]";
constexpr const char* kMarkOperation = " [DeleteRec/RecallRec]";

int WriteErrorNumber(const TableStream& stream) {
    const int number = stream.LastErrorNumber();
    return number == 0 ? kDiskWrite : number;
}

}  // namespace

DbfTable::DbfTable(std::string name, std::unique_ptr<TableStream> data,
                   const DbfOpenOptions& options)
    : name_(std::move(name)), data_(std::move(data)), options_(options) {}

DbfTable::~DbfTable() {
    try {
        Close();
    } catch (const ETableError&) {
        // Already recorded as the engine's last error; a destructor cannot report it.
    }
}

std::unique_ptr<DbfTable> DbfTable::OpenFile(const std::string& fileName,
                                             const DbfOpenOptions& options) {
    const std::string name = DefaultExtension(fileName, "DBF");
    int error = 0;
    auto data = OpenFileStream(DiskPath(name), options.mode, error);
    if (!data) {
        RaiseTableError(error, "Failure to open " + name + " [USE/OpenDbf]");
    }
    std::unique_ptr<DbfTable> table(new DbfTable(name, std::move(data), options));
    table->Load();
    if (table->header_.hasMemo) {
        const std::string memoName = MemoFileName(name);
        auto memo = OpenFileStream(DiskPath(memoName), options.mode, error);
        if (!memo && error == kFileNotFound) {
            RaiseTableError(kFileNotFound, "Memo file not found: " + memoName);
        }
        if (!memo) {
            RaiseTableError(error, "Failure to open " + memoName + " [USE/OpenDbf]");
        }
        table->memo_ = std::make_unique<DbfMemo>(std::move(memo), memoName);
    }
    return table;
}

std::unique_ptr<DbfTable> DbfTable::OpenStreams(const std::string& name,
                                                std::unique_ptr<TableStream> data,
                                                std::unique_ptr<TableStream> memo,
                                                const DbfOpenOptions& options) {
    std::unique_ptr<DbfTable> table(new DbfTable(name, std::move(data), options));
    table->Load();
    if (table->header_.hasMemo) {
        const std::string memoName = ChangeExtension(name, "DBT");
        if (!memo) {
            RaiseTableError(kFileNotFound, "Memo file not found: " + memoName);
        }
        table->memo_ = std::make_unique<DbfMemo>(std::move(memo), memoName);
    }
    return table;
}

void DbfTable::Load() {
    header_ = ReadHeader(*data_, name_, Page());
    if (options_.autoFixRecCount) {
        const std::uint64_t size = data_->Size();
        const std::uint64_t count =
            size <= header_.headerLength ? 0 : (size - header_.headerLength) / header_.recordLength;
        header_.recordCount = static_cast<std::uint32_t>(
            std::min<std::uint64_t>(count, std::numeric_limits<std::uint32_t>::max()));
    }
    try {
        record_.assign(header_.recordLength, ' ');
    } catch (const std::bad_alloc&) {
        RaiseTableError(kNoMemory, "Not enough memory to open " + name_ + " [Use/OpenDBF]");
    }
}

const CodePage& DbfTable::Page() const {
    return options_.language == TTableLanguage::tlAnsi ? CodePage::Ansi() : CodePage::Oem();
}

std::uint64_t DbfTable::RecordOffset(std::uint32_t n) const {
    return header_.headerLength + std::uint64_t{n - 1} * header_.recordLength;
}

void DbfTable::ReadRecord(std::uint32_t n) {
    if (n < 1 || n > header_.recordCount) {
        RaiseTableError(kBeyondRange, "Invalid record number = " + std::to_string(n) + " (" +
                                          name_ + ")  [GetDbfRecord]");
    }
    const std::uint64_t offset = RecordOffset(n);
    const std::size_t length = record_.size();
    // Only a forward walk uses the window; going back reads the file again,
    // so First() sees what other programs wrote meanwhile.
    const bool cached =
        n > lastRead_ && offset >= cacheStart_ && offset + length <= cacheStart_ + cache_.size();
    lastRead_ = 0;
    if (!cached) {
        // The window never reaches past the end of the file (small tables
        // need no 64 KB buffer), but always covers the record asked for.
        const std::uint64_t size = data_->Size();
        const std::uint64_t rest = size > offset ? size - offset : 0;
        cache_.resize(std::max<std::size_t>(length, std::min<std::uint64_t>(rest, kReadWindow)));
        const std::int64_t got = data_->ReadAt(offset, cache_.data(), cache_.size());
        cache_.resize(got < 0 ? 0 : static_cast<std::size_t>(got));
        cacheStart_ = offset;
        if (got < 0) {
            RaiseTableError(data_->LastErrorNumber(), "File:  " + name_ + "  [GetDbfRecord]");
        }
        if (cache_.size() < length) {
            RaiseTableError(kUnexpectedEof, "File:  " + name_ + "  [GetDbfRecord]");
        }
    }
    record_.assign(cache_, static_cast<std::size_t>(offset - cacheStart_), length);
    lastRead_ = n;
}

std::string_view DbfTable::RawField(std::size_t i) const {
    const TDbfFieldProps& field = header_.fields[i];
    return std::string_view(record_).substr(static_cast<std::size_t>(field.FieldPos),
                                            static_cast<std::size_t>(field.FieldLen));
}

void DbfTable::BlankRecord() {
    record_.assign(record_.size(), ' ');
}

void DbfTable::CheckWritable(const char* operation) const {
    if (ReadOnly()) {
        RaiseTableError(kAccessDenied, "File:  " + name_ + operation);
    }
}

void DbfTable::WriteRecord(std::uint32_t n) {
    CheckWritable(kPutOperation);
    const std::uint32_t limit =
        header_.oldLayout ? 0xFFFF : std::numeric_limits<std::uint32_t>::max();
    if (n < 1 || n > header_.recordCount + std::uint64_t{1} || n > limit) {
        RaiseTableError(kBeyondRange, "Invalid record number = " + std::to_string(n) + " (" +
                                          name_ + ")  [PutDbfRecord]");
    }
    cache_.clear();
    if (!data_->WriteAt(RecordOffset(n), record_.data(), record_.size())) {
        RaiseTableError(WriteErrorNumber(*data_), "File:  " + name_ + kPutOperation);
    }
    changed_ = true;
    if (n == header_.recordCount + std::uint64_t{1}) {
        header_.recordCount = n;
        appended_ = true;
        if (DbfEngine::Instance().Settings().flushOnWrite) {
            WriteHeader();
        }
    }
}

void DbfTable::SetDeleted(std::uint32_t n, bool deleted) {
    CheckWritable(kMarkOperation);
    if (n < 1 || n > header_.recordCount) {
        RaiseTableError(kBeyondRange, "Invalid record number = " + std::to_string(n) + " (" +
                                          name_ + ")  [DeleteRec/RecallRec]");
    }
    cache_.clear();
    const char mark = deleted ? '*' : ' ';
    if (!data_->WriteAt(RecordOffset(n), &mark, 1)) {
        RaiseTableError(WriteErrorNumber(*data_), "File:  " + name_ + kMarkOperation);
    }
    changed_ = true;
}

void DbfTable::WriteHeader() {
    StampToday(header_);
    const std::string prolog = BuildProlog(header_);
    if (!data_->WriteAt(0, prolog.data(), prolog.size())) {
        RaiseTableError(WriteErrorNumber(*data_), "File:  " + name_ + kPutOperation);
    }
    if (appended_) {
        const char end = '\x1A';
        const std::uint64_t after =
            header_.headerLength + std::uint64_t{header_.recordCount} * header_.recordLength;
        if (!data_->WriteAt(after, &end, 1)) {
            RaiseTableError(WriteErrorNumber(*data_), "File:  " + name_ + kPutOperation);
        }
    }
    if (!data_->Flush()) {
        RaiseTableError(WriteErrorNumber(*data_), "Unable to flush file [FlushFile]");
    }
}

void DbfTable::Close() {
    if (!data_) {
        return;
    }
    // Cleared first: a header that cannot be written is reported once, and
    // the next Close() releases the files.
    const bool changed = changed_;
    changed_ = false;
    if (changed) {
        WriteHeader();
    }
    data_.reset();
    memo_.reset();
}

std::string DbfTable::ReadMemo(std::uint32_t block) {
    if (block == 0) {
        return {};
    }
    if (!memo_) {
        RaiseTableError(kInvalidMemoOperation, "No memo file is open for " + name_ + " [GetMemo]");
    }
    return memo_->ReadText(block, Page());
}

std::uint32_t DbfTable::WriteMemo(std::string_view utf8) {
    CheckWritable(kPutOperation);
    if (!memo_) {
        RaiseTableError(kInvalidMemoOperation, "No memo file is open for " + name_ + " [PutMemo]");
    }
    return memo_->WriteText(utf8, Page());
}

}  // namespace mv::dbf
