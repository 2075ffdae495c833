#include "dbf_bytes.h"

#include <algorithm>

namespace mv::test {

namespace {

void Put16(std::string& out, std::size_t at, std::uint32_t v) {
    out[at] = static_cast<char>(v & 0xFF);
    out[at + 1] = static_cast<char>((v >> 8) & 0xFF);
}

void Put32(std::string& out, std::size_t at, std::uint32_t v) {
    Put16(out, at, v & 0xFFFF);
    Put16(out, at + 2, v >> 16);
}

std::string Padded(const std::string& value, int width) {
    std::string text = value.substr(0, static_cast<std::size_t>(width));
    text.resize(static_cast<std::size_t>(width), ' ');
    return text;
}

}  // namespace

DbfBytes::DbfBytes(std::vector<FieldSpec> fields, std::uint8_t version)
    : fields_(std::move(fields)), version_(version) {}

DbfBytes& DbfBytes::Record(const std::vector<std::string>& values, bool deleted) {
    std::string record(1, deleted ? '*' : ' ');
    for (std::size_t i = 0; i < fields_.size(); ++i) {
        record += Padded(i < values.size() ? values[i] : "", fields_[i].length);
    }
    records_.push_back(record);
    return *this;
}

DbfBytes& DbfBytes::Count(std::uint32_t count) {
    count_ = count;
    return *this;
}

DbfBytes& DbfBytes::HeaderLength(std::uint16_t length) {
    headerLength_ = length;
    return *this;
}

DbfBytes& DbfBytes::RecordLength(std::uint16_t length, char padding) {
    recordLength_ = length;
    padding_ = padding;
    return *this;
}

DbfBytes& DbfBytes::EndMark() {
    endMark_ = true;
    return *this;
}

std::string DbfBytes::Build() const {
    std::string out(32 + 32 * fields_.size() + 1, '\0');
    out[0] = static_cast<char>(version_);
    out[1] = 124;  // 2024-01-31
    out[2] = 1;
    out[3] = 31;
    int recordLength = 1;
    for (const FieldSpec& f : fields_) {
        recordLength += f.length;
    }
    Put32(out, 4, count_ >= 0 ? static_cast<std::uint32_t>(count_) : records_.size());
    Put16(out, 8, headerLength_ >= 0 ? headerLength_ : static_cast<std::int32_t>(out.size()));
    Put16(out, 10, recordLength_ >= 0 ? recordLength_ : recordLength);
    for (std::size_t i = 0; i < fields_.size(); ++i) {
        char* d = out.data() + 32 + 32 * i;
        std::copy_n(fields_[i].name.data(), std::min<std::size_t>(fields_[i].name.size(), 11), d);
        d[11] = fields_[i].type;
        d[16] = static_cast<char>(fields_[i].length);
        d[17] = static_cast<char>(fields_[i].decimals);
    }
    out.back() = '\x0D';
    const std::size_t padding = static_cast<std::size_t>(std::max(0, recordLength_ - recordLength));
    for (const std::string& record : records_) {
        out += record;
        out.append(padding, padding_);
    }
    if (endMark_) {
        out += '\x1A';
    }
    return out;
}

std::string OldLayoutTable(const std::vector<FieldSpec>& fields,
                           const std::vector<std::string>& records) {
    std::string out(521, '\0');
    out[0] = 0x02;
    int recordLength = 1;
    for (const FieldSpec& f : fields) {
        recordLength += f.length;
    }
    Put16(out, 1, static_cast<std::uint32_t>(records.size()));
    out[3] = 1;    // month
    out[4] = 31;   // day
    out[5] = 124;  // year - 1900
    Put16(out, 6, static_cast<std::uint32_t>(recordLength));
    for (std::size_t i = 0; i < fields.size(); ++i) {
        char* d = out.data() + 8 + 16 * i;
        std::copy_n(fields[i].name.data(), std::min<std::size_t>(fields[i].name.size(), 11), d);
        d[11] = fields[i].type;
        d[12] = static_cast<char>(fields[i].length);
        d[15] = static_cast<char>(fields[i].decimals);
    }
    if (fields.size() <= 32) {
        out[8 + 16 * fields.size()] = '\x0D';
    }
    for (const std::string& values : records) {
        out += ' ';
        out += values;
    }
    return out;
}

std::string MemoBytes(const std::vector<std::string>& memos, bool lengthForm) {
    std::string out(512, '\0');
    for (const std::string& memo : memos) {
        std::string stored;
        if (lengthForm) {
            stored = std::string("\xFF\xFF\x08\x00", 4) + std::string(4, '\0') + memo;
            Put32(stored, 4, static_cast<std::uint32_t>(memo.size() + 8));
        } else {
            stored = memo + "\x1A\x1A";
        }
        stored.resize((stored.size() + 511) / 512 * 512, '\0');
        out += stored;
    }
    Put32(out, 0, static_cast<std::uint32_t>(out.size() / 512));
    return out;
}

std::string Block(std::uint32_t block) {
    std::string text = std::to_string(block);
    return std::string(10 - text.size(), ' ') + text;
}

MemoryTbDbf::MemoryTbDbf(std::string data, std::string memo)
    : TTbDbf("tbDbase"), data_(std::move(data)), memo_(std::move(memo)) {
    SetDbfFileName("memory.dbf");
    SetCreateIfNotFound(false);
}

std::unique_ptr<dbf::DbfTable> MemoryTbDbf::OpenTable(const std::string& fileName,
                                                      const dbf::DbfOpenOptions& options) {
    auto memo = memo_.empty() ? nullptr : std::make_unique<dbf::MemoryStream>(memo_);
    return dbf::DbfTable::OpenStreams(fileName, std::make_unique<dbf::MemoryStream>(data_),
                                      std::move(memo), options);
}

std::vector<std::string> ReadAll(TTbDbf& table) {
    table.SetActive(true);
    std::vector<std::string> rows;
    for (table.First(); !table.Eof(); table.Next()) {
        std::string row = table.Deleted() ? "*" : "";
        for (int i = 0; i < table.FieldCount(); ++i) {
            if (i > 0) {
                row += '|';
            }
            row += table.Fields(i).AsString();
        }
        rows.push_back(row);
    }
    return rows;
}

}  // namespace mv::test
