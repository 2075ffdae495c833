// Writes dBase table and memo bytes by hand, independent of the engine, so
// that the tests read files the engine did not write itself.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "storage/dbf/tb_dbf.h"

namespace mv::test {

struct FieldSpec {
    std::string name;
    char type;
    int length;
    int decimals = 0;
};

// A table in the 32-byte header layout. Records are given as field texts;
// each is padded on the right with blanks to its field's width.
class DbfBytes {
  public:
    explicit DbfBytes(std::vector<FieldSpec> fields, std::uint8_t version = 0x03);
    DbfBytes& Record(const std::vector<std::string>& values, bool deleted = false);
    // Overrides of the header's values (to build damaged files).
    DbfBytes& Count(std::uint32_t count);
    DbfBytes& HeaderLength(std::uint16_t length);
    // A length above the sum of the fields pads every record at its end
    // with `padding` bytes, as some programs write their tables.
    DbfBytes& RecordLength(std::uint16_t length, char padding = '\0');
    // Ends the file with 0x1A (as the engine does after appending).
    DbfBytes& EndMark();
    std::string Build() const;

  private:
    std::vector<FieldSpec> fields_;
    std::uint8_t version_;
    std::vector<std::string> records_;
    std::int64_t count_ = -1;
    std::int32_t headerLength_ = -1;
    std::int32_t recordLength_ = -1;
    char padding_ = '\0';
    bool endMark_ = false;
};

// A table in the older layout (8-byte header, 16-byte descriptors, records
// from offset 521).
std::string OldLayoutTable(const std::vector<FieldSpec>& fields,
                           const std::vector<std::string>& records);

// A memo file: block 0 (header), then each memo in its own run of blocks.
// `lengthForm` selects the FF FF 08 00 + length form, otherwise the text
// ends with 0x1A 0x1A.
std::string MemoBytes(const std::vector<std::string>& memos, bool lengthForm);

// "%s" as a decimal block number, right-aligned in 10 characters.
std::string Block(std::uint32_t block);

// A table component whose bytes come from memory instead of a file.
class MemoryTbDbf : public TTbDbf {
  public:
    MemoryTbDbf(std::string data, std::string memo = {});

  protected:
    std::unique_ptr<dbf::DbfTable> OpenTable(const std::string& fileName,
                                             const dbf::DbfOpenOptions& options) override;

  private:
    std::string data_;
    std::string memo_;
};

// Opens `table`, walks every record and reads every field as text; returns
// the records as lines of "|"-joined values (deleted ones prefixed with "*").
std::vector<std::string> ReadAll(TTbDbf& table);

}  // namespace mv::test
