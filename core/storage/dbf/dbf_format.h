// The bytes of a dBase data file's header: the 32-byte header with 32-byte
// field descriptors, and the older layout (version bytes whose low three bits
// are 2) with an 8-byte header and 16-byte descriptors. Little-endian.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/text/code_page.h"
#include "storage/dbf/table_stream.h"

namespace mv::dbf {

// One field of an open table, in file order.
struct TDbfFieldProps {
    std::string FieldName;  // as in the file, upper case (UTF-8)
    char FieldType = 'C';   // 'C', 'D', 'F', 'L', 'M' or 'N'
    int FieldLen = 0;
    int FieldDec = 0;
    int FieldPos = 0;  // offset in the record; the first field is at 1
};

struct DbfHeader {
    std::uint8_t version = 0x03;
    bool oldLayout = false;  // 8-byte header, 16-byte descriptors
    bool hasMemo = false;    // bit 7 of the version byte: a memo file belongs to it
    int year = 0;            // date of the last update
    int month = 0;
    int day = 0;
    std::uint32_t recordCount = 0;
    std::uint32_t headerLength = 0;  // where record 1 starts
    std::uint32_t recordLength = 0;  // deletion mark + fields (+ padding when read)
    std::vector<TDbfFieldProps> fields;
};

inline constexpr std::uint32_t kOldHeaderLength = 521;
inline constexpr int kMaxFields = 255;
inline constexpr int kMaxOldFields = 32;

// Reads and checks the header and descriptors of `stream`. Every damage
// (short file, bad version, field count out of range, unknown type letter,
// record length that disagrees with the fields) raises ETableError; `name`
// is the file name the messages show.
DbfHeader ReadHeader(TableStream& stream, const std::string& name, const CodePage& page);

// The header, descriptors and 0x0D of a new table (normal layout). The date
// is taken from the header.
std::string BuildHeader(const DbfHeader& header, const CodePage& page);

// The first 8 bytes as rewritten on close: version, date and record count
// (record count, date and record length in the older layout).
std::string BuildProlog(const DbfHeader& header);

// Sets the header's date to today (local time).
void StampToday(DbfHeader& header);

// Little-endian helpers.
std::uint16_t GetU16(const unsigned char* p);
std::uint32_t GetU32(const unsigned char* p);
void PutU16(std::string& out, std::size_t at, std::uint16_t value);
void PutU32(std::string& out, std::size_t at, std::uint32_t value);

}  // namespace mv::dbf
