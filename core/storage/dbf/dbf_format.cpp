#include "storage/dbf/dbf_format.h"

#include <algorithm>
#include <cstring>
#include <ctime>
#include <string_view>

#include "storage/dbf/table_error.h"

namespace mv::dbf {

namespace {

constexpr std::string_view kValidTypes = "CDFLMN";

[[noreturn]] void NotDbase(const std::string& name, const std::string& reason) {
    RaiseTableError(kNotDbase, name + " is not a dBASE database. (" + reason + ") [USE/OpenDBF]");
}

// Reads exactly `count` bytes at `offset`, or raises `shortError`.
std::string ReadExactly(TableStream& stream, std::uint64_t offset, std::size_t count,
                        const std::string& name, int shortError) {
    std::string bytes(count, '\0');
    const std::int64_t got = stream.ReadAt(offset, bytes.data(), count);
    if (got < 0) {
        RaiseTableError(stream.LastErrorNumber(), "File:  " + name + " [USE/OpenDBF]");
    }
    if (static_cast<std::size_t>(got) < count) {
        RaiseTableError(shortError,
                        "Header of " + name + " is shorter than its stated length [USE/OpenDBF]");
    }
    return bytes;
}

// The name bytes up to the first zero byte, at most 10, upper case.
std::string FieldNameOf(const char* raw, const CodePage& page) {
    std::size_t len = 0;
    while (len < 10 && raw[len] != '\0') {
        ++len;
    }
    std::string name(raw, len);
    for (char& c : name) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return page.ToUtf8(name);
}

void CheckType(const TDbfFieldProps& field, const std::string& name, char type,
               const CodePage& page) {
    if (type != '\0' && kValidTypes.find(type) != std::string_view::npos) {
        return;
    }
    // A control byte would make an unreadable message; show it as "?".
    const std::string letter = static_cast<unsigned char>(type) < ' '
                                   ? std::string("?")
                                   : page.ToUtf8(std::string(1, type));
    RaiseTableError(kBadFieldType, "Field: " + field.FieldName + " [" + letter + "] in " + name +
                                       " is not a valid field type");
}

void ReadNormalLayout(TableStream& stream, const std::string& name, const CodePage& page,
                      const unsigned char* prolog, DbfHeader& header) {
    header.year = 1900 + prolog[1];
    header.month = prolog[2];
    header.day = prolog[3];
    header.recordCount = GetU32(prolog + 4);
    header.headerLength = GetU16(prolog + 8);
    header.recordLength = GetU16(prolog + 10);
    const int descriptorBytes = static_cast<int>(header.headerLength) - 32;
    if (descriptorBytes < 32 || descriptorBytes > 8191) {
        NotDbase(name, "Number of fields is out of range");
    }
    const std::string raw =
        ReadExactly(stream, 32, static_cast<std::size_t>(descriptorBytes), name, kDiskRead);
    const int count = descriptorBytes / 32;
    for (int i = 0; i < count; ++i) {
        const char* d = raw.data() + static_cast<std::ptrdiff_t>(32 * i);
        TDbfFieldProps field;
        field.FieldName = FieldNameOf(d, page);
        field.FieldType = d[11];
        field.FieldLen = static_cast<unsigned char>(d[16]);
        field.FieldDec = static_cast<unsigned char>(d[17]);
        CheckType(field, name, d[11], page);
        header.fields.push_back(std::move(field));
    }
}

void ReadOldLayout(TableStream& stream, const std::string& name, const CodePage& page,
                   const unsigned char* prolog, DbfHeader& header) {
    header.recordCount = GetU16(prolog + 1);
    header.month = prolog[3];
    header.day = prolog[4];
    header.year = 1900 + prolog[5];
    header.recordLength = GetU16(prolog + 6);
    header.headerLength = kOldHeaderLength;
    std::string raw(kOldHeaderLength, '\0');
    const std::int64_t got = stream.ReadAt(0, raw.data(), raw.size());
    if (got < 0) {
        RaiseTableError(stream.LastErrorNumber(), "File:  " + name + " [USE/OpenDBF]");
    }
    if (got < static_cast<std::int64_t>(kOldHeaderLength)) {
        RaiseTableError(
            kNotDbase,
            name + " is not a dBASE database.(Header is less than 521 bytes) [Use/OpenDBF]");
    }
    for (int i = 0; i <= kMaxOldFields; ++i) {
        const char* d = raw.data() + 8 + static_cast<std::ptrdiff_t>(16 * i);
        if (d[0] == '\x0D') {
            if (i == 0) {
                break;
            }
            return;
        }
        if (i == kMaxOldFields) {
            break;
        }
        TDbfFieldProps field;
        field.FieldName = FieldNameOf(d, page);
        field.FieldType = d[11];
        field.FieldLen = static_cast<unsigned char>(d[12]);
        field.FieldDec = static_cast<unsigned char>(d[15]);
        CheckType(field, name, d[11], page);
        header.fields.push_back(std::move(field));
    }
    NotDbase(name, "Number of fields is out of range");
}

}  // namespace

std::uint16_t GetU16(const unsigned char* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

std::uint32_t GetU32(const unsigned char* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

void PutU16(std::string& out, std::size_t at, std::uint16_t value) {
    out[at] = static_cast<char>(value & 0xFF);
    out[at + 1] = static_cast<char>(value >> 8);
}

void PutU32(std::string& out, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        out[at + static_cast<std::size_t>(i)] = static_cast<char>(value >> (8 * i));
    }
}

DbfHeader ReadHeader(TableStream& stream, const std::string& name, const CodePage& page) {
    unsigned char prolog[32] = {};
    const std::int64_t got = stream.ReadAt(0, prolog, sizeof prolog);
    if (got < 0) {
        RaiseTableError(stream.LastErrorNumber(), "Failure to open " + name + " [USE/OpenDbf]");
    }
    if (got < 32) {
        NotDbase(name, "Prolog is less than 32 bytes");
    }
    DbfHeader header;
    header.version = prolog[0];
    const int layout = prolog[0] & 0x07;
    if (layout != 2 && layout != 3) {
        RaiseTableError(kNotDbase,
                        name + " is not a dBASE database.(Invalid version byte)+ [USE/OpenDBF]");
    }
    header.hasMemo = (prolog[0] & 0x80) != 0;
    header.oldLayout = layout == 2;
    if (header.oldLayout) {
        ReadOldLayout(stream, name, page, prolog, header);
    } else {
        ReadNormalLayout(stream, name, page, prolog, header);
    }

    std::uint32_t position = 1;
    for (TDbfFieldProps& field : header.fields) {
        field.FieldPos = static_cast<int>(position);
        position += static_cast<std::uint32_t>(field.FieldLen);
    }
    // Some programs pad each record after its last field; records are found
    // by the header's length, fields by their running sum. A record shorter
    // than its fields cannot be read.
    if (header.recordLength < position) {
        NotDbase(name, "Record length does not match the fields");
    }
    return header;
}

void StampToday(DbfHeader& header) {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    header.year = local.tm_year + 1900;
    header.month = local.tm_mon + 1;
    header.day = local.tm_mday;
}

std::string BuildProlog(const DbfHeader& header) {
    std::string out(8, '\0');
    out[0] = static_cast<char>(header.version);
    const auto year = static_cast<char>(std::clamp(header.year - 1900, 0, 255));
    if (header.oldLayout) {
        PutU16(out, 1,
               static_cast<std::uint16_t>(std::min<std::uint32_t>(header.recordCount, 0xFFFF)));
        out[3] = static_cast<char>(header.month);
        out[4] = static_cast<char>(header.day);
        out[5] = year;
        PutU16(out, 6, static_cast<std::uint16_t>(header.recordLength));
    } else {
        out[1] = year;
        out[2] = static_cast<char>(header.month);
        out[3] = static_cast<char>(header.day);
        PutU32(out, 4, header.recordCount);
    }
    return out;
}

std::string BuildHeader(const DbfHeader& header, const CodePage& page) {
    const std::size_t count = header.fields.size();
    std::string out(32 + 32 * count + 1, '\0');
    out.replace(0, 8, BuildProlog(header));
    PutU16(out, 8, static_cast<std::uint16_t>(header.headerLength));
    PutU16(out, 10, static_cast<std::uint16_t>(header.recordLength));
    for (std::size_t i = 0; i < count; ++i) {
        const TDbfFieldProps& field = header.fields[i];
        const std::size_t at = 32 + 32 * i;
        const std::string name = page.FromUtf8(field.FieldName).substr(0, 10);
        std::memcpy(out.data() + at, name.data(), name.size());
        out[at + 11] = field.FieldType;
        out[at + 16] = static_cast<char>(field.FieldLen);
        out[at + 17] = static_cast<char>(field.FieldDec);
    }
    out.back() = '\x0D';
    return out;
}

}  // namespace mv::dbf
