// One open dBase table: its header, its record buffer and its memo file.
//
// Records are numbered from 1; record n starts at header length +
// (n - 1) x record length. Reading keeps the raw bytes of the record (in the
// file's code page) in the record buffer; the field decoders turn them into
// values. Writing puts the buffer back in place, or after the last record to
// append. Closing a changed table rewrites the first 8 header bytes and, after
// appends, ends the file with 0x1A.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/text/code_page.h"
#include "storage/dbf/dbf_engine.h"
#include "storage/dbf/dbf_format.h"
#include "storage/dbf/dbf_memo.h"
#include "storage/dbf/table_stream.h"

namespace mv::dbf {

struct DbfOpenOptions {
    OpenMode mode = OpenMode::kShared;
    // Count the records from the file size instead of the header.
    bool autoFixRecCount = false;
    TTableLanguage language = TTableLanguage::tlOem;
};

class DbfTable {
  public:
    // Opens the file `name` (the extension "DBF" is added when it has none)
    // and its memo file when the header calls for one. Raises ETableError.
    static std::unique_ptr<DbfTable> OpenFile(const std::string& name,
                                              const DbfOpenOptions& options);

    // Opens a table whose bytes come from `data` (and `memo`, which may be
    // empty). `name` is the file name the messages show.
    static std::unique_ptr<DbfTable> OpenStreams(const std::string& name,
                                                 std::unique_ptr<TableStream> data,
                                                 std::unique_ptr<TableStream> memo,
                                                 const DbfOpenOptions& options);

    // Closes without raising; a failure to update the header is lost here,
    // so call Close() to see it.
    ~DbfTable();
    DbfTable(const DbfTable&) = delete;
    DbfTable& operator=(const DbfTable&) = delete;

    // Writes the header when the table changed; raises on a write failure.
    void Close();

    const std::string& FileName() const { return name_; }
    const DbfHeader& Header() const { return header_; }
    const std::vector<TDbfFieldProps>& Fields() const { return header_.fields; }
    std::uint32_t RecCount() const { return header_.recordCount; }
    bool ReadOnly() const { return options_.mode == OpenMode::kReadOnly; }
    bool HasMemoFile() const { return memo_ != nullptr; }

    TTableLanguage Language() const { return options_.language; }
    void SetLanguage(TTableLanguage language) { options_.language = language; }
    // The code page of character data under the current language.
    const CodePage& Page() const;

    // Reads record n into the record buffer: n outside 1..RecCount raises
    // error 212, a record cut short by the end of the file error 213.
    void ReadRecord(std::uint32_t n);
    // The record buffer: deletion mark, then the fields.
    const std::string& Record() const { return record_; }
    std::string& MutableRecord() { return record_; }
    bool Deleted() const { return record_[0] == '*'; }
    // The bytes of field i (index into Fields()) in the record buffer.
    std::string_view RawField(std::size_t i) const;
    // Fills the record buffer with blanks (an empty, active record).
    void BlankRecord();

    // Writes the record buffer as record n; n = RecCount() + 1 appends.
    void WriteRecord(std::uint32_t n);
    // Writes the deletion mark of record n alone.
    void SetDeleted(std::uint32_t n, bool deleted);

    // The text of the memo in `block` (0: empty); no memo file raises 1019.
    std::string ReadMemo(std::uint32_t block);
    std::uint32_t WriteMemo(std::string_view utf8);

  private:
    DbfTable(std::string name, std::unique_ptr<TableStream> data, const DbfOpenOptions& options);
    void Load();
    void CheckWritable(const char* operation) const;
    void WriteHeader();
    std::uint64_t RecordOffset(std::uint32_t n) const;

    std::string name_;
    std::unique_ptr<TableStream> data_;
    std::unique_ptr<DbfMemo> memo_;
    DbfOpenOptions options_;
    DbfHeader header_;
    std::string record_;
    bool changed_ = false;
    bool appended_ = false;
    // Sequential reads are served from one window of the file.
    std::string cache_;
    std::uint64_t cacheStart_ = 0;
    std::uint32_t lastRead_ = 0;
};

}  // namespace mv::dbf
