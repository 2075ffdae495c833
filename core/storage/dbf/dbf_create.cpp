#include "storage/dbf/dbf_create.h"

#include <algorithm>
#include <charconv>
#include <string_view>

#include "storage/dbf/dbf_memo.h"
#include "storage/dbf/dbf_names.h"
#include "storage/dbf/table_error.h"
#include "storage/dbf/table_stream.h"

namespace mv::dbf {

namespace {

constexpr std::string_view kValidTypes = "CDFLMN";

[[noreturn]] void InvalidDefinition() {
    RaiseTableError(kInvalidParameter, "Invalid dBASE field definition [CreateDBF]");
}

[[noreturn]] void RangeError() {
    RaiseTableError(kRangeCheck, "Range check error");
}

[[noreturn]] void WriteFailed(const TableStream& stream, const std::string& name) {
    const int number = stream.LastErrorNumber();
    RaiseTableError(number == 0 ? kDiskWrite : number, "File:  " + name + " [CreateDbf]");
}

std::vector<std::string> SplitCommas(const std::string& line) {
    std::vector<std::string> items;
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = line.find(',', start);
        items.push_back(line.substr(start, comma - start));
        if (comma == std::string::npos) {
            return items;
        }
        start = comma + 1;
    }
}

// A decimal number without sign; anything else is a wrong definition.
int ParseCount(const std::string& item) {
    const std::string text = TrimBlanks(item);
    int value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || text.front() == '-' || end != text.data() + text.size()) {
        InvalidDefinition();
    }
    if (ec == std::errc::result_out_of_range) {
        RangeError();
    }
    if (ec != std::errc()) {
        InvalidDefinition();
    }
    return value;
}

// Fills length and decimals of a field of `type` from its items.
void SetSize(TDbfFieldProps& field, const std::vector<std::string>& items) {
    switch (field.FieldType) {
        case 'D':
            field.FieldLen = 8;
            return;
        case 'L':
            field.FieldLen = 1;
            return;
        case 'M':
            field.FieldLen = 10;
            return;
        case 'C':
            field.FieldLen = ParseCount(items[2]);
            if (field.FieldLen >= 255) {
                RangeError();
            }
            break;
        default:  // 'N' and 'F'
            field.FieldLen = ParseCount(items[2]);
            field.FieldDec = ParseCount(items[3]);
            if (field.FieldLen > 19 || field.FieldDec > 15 ||
                (field.FieldDec > 0 && field.FieldLen - field.FieldDec <= 1)) {
                RangeError();
            }
            break;
    }
    if (field.FieldLen == 0) {
        InvalidDefinition();
    }
}

}  // namespace

bool ParseFieldDefinitions(const std::vector<std::string>& lines, const std::string& fileName,
                           bool memoAsNumber, const CodePage& page,
                           std::vector<TDbfFieldProps>& fields) {
    fields.clear();
    for (const std::string& line : lines) {
        if (std::count(line.begin(), line.end(), ',') != 3) {
            return false;
        }
    }
    for (const std::string& line : lines) {
        const std::vector<std::string> items = SplitCommas(line);
        TDbfFieldProps field;
        // Cut to 10 bytes of the file's code page, as the descriptor holds them.
        std::string name = page.FromUtf8(TrimBlanks(items[0])).substr(0, 10);
        if (name.empty()) {
            RaiseTableError(kInvalidParameter, "Empty field name [CreateDbf(" + fileName + ")]");
        }
        for (char& c : name) {
            if (c >= 'a' && c <= 'z') {
                c = static_cast<char>(c - 'a' + 'A');
            }
        }
        field.FieldName = page.ToUtf8(name);
        const std::string type = TrimBlanks(items[1]);
        field.FieldType = type.empty() ? '\0' : type.front();
        if (field.FieldType >= 'a' && field.FieldType <= 'z') {
            field.FieldType = static_cast<char>(field.FieldType - 'a' + 'A');
        }
        if (field.FieldType == 'X') {
            continue;
        }
        if (field.FieldType == '\0' ||
            kValidTypes.find(field.FieldType) == std::string_view::npos) {
            RangeError();
        }
        if (field.FieldType == 'M' && memoAsNumber) {
            field.FieldType = 'N';
            field.FieldLen = 10;
        } else {
            SetSize(field, items);
        }
        fields.push_back(std::move(field));
    }
    if (fields.size() > static_cast<std::size_t>(kMaxFields)) {
        RangeError();
    }
    return !fields.empty();
}

bool CreateDbf(const std::string& fileName, const std::vector<std::string>& lines,
               TTableLanguage language) {
    const std::string name = DefaultExtension(fileName, "DBF");
    const CodePage& page = language == TTableLanguage::tlAnsi ? CodePage::Ansi() : CodePage::Oem();
    DbfHeader header;
    if (!ParseFieldDefinitions(lines, name, DbfEngine::Instance().Settings().memoAsNumber, page,
                               header.fields)) {
        return false;
    }
    std::uint32_t position = 1;
    for (TDbfFieldProps& field : header.fields) {
        field.FieldPos = static_cast<int>(position);
        position += static_cast<std::uint32_t>(field.FieldLen);
        header.hasMemo = header.hasMemo || field.FieldType == 'M';
    }
    header.version = header.hasMemo ? 0x8B : 0x03;
    header.headerLength = static_cast<std::uint32_t>(32 + 32 * header.fields.size() + 1);
    header.recordLength = position;
    StampToday(header);

    // A new table is closed as one that was appended to: it ends in 0x1A.
    const std::string bytes = BuildHeader(header, page) + '\x1A';
    int error = 0;
    auto stream = CreateFileStream(DiskPath(name), error);
    if (!stream) {
        RaiseTableError(error, "File:  " + name + " [CreateDbf]");
    }
    if (!stream->WriteAt(0, bytes.data(), bytes.size()) || !stream->Flush()) {
        WriteFailed(*stream, name);
    }
    if (header.hasMemo) {
        const std::string memoName = MemoFileName(name);
        const std::string memoHeader = DbfMemo::NewFileHeader();
        auto memo = CreateFileStream(DiskPath(memoName), error);
        if (!memo) {
            RaiseTableError(error, "File:  " + memoName + " [CreateDbf]");
        }
        if (!memo->WriteAt(0, memoHeader.data(), memoHeader.size()) || !memo->Flush()) {
            WriteFailed(*memo, memoName);
        }
    }
    return true;
}

}  // namespace mv::dbf
