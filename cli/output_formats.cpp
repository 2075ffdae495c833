#include "output_formats.h"

#include <cstdio>

#include "platform/text/code_page.h"

namespace mv::cli {

std::string CsvField(std::string_view text) {
    if (text.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(text);
    std::string out = "\"";
    for (char c : text) {
        if (c == '"') out += '"';
        out += c;
    }
    out += '"';
    return out;
}

std::string JsonString(std::string_view text) {
    std::string out = "\"";
    size_t pos = 0;
    while (pos < text.size()) {
        const size_t start = pos;
        const char32_t cp = DecodeUtf8(text, pos);
        if (cp == 0xFFFD && pos - start != 3) {
            out += "\\ufffd";
            continue;
        }
        switch (cp) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (cp < 0x20) {
                    char buf[8];
                    std::snprintf(buf, sizeof buf, "\\u%04x", static_cast<unsigned>(cp));
                    out += buf;
                } else {
                    out.append(text.substr(start, pos - start));
                }
        }
    }
    out += '"';
    return out;
}

CheckResultWriter::CheckResultWriter(std::FILE* out, ResultFormat format, bool transcripts)
    : out_(out), format_(format), transcripts_(transcripts) {}

void CheckResultWriter::Header() {
    if (format_ == ResultFormat::kCsv) {
        std::fputs(
            "row,email,address,code,result,valid,verdict,reason,flags,suggestion,provider\r\n",
            out_);
        std::fflush(out_);
    }
}

void CheckResultWriter::Result(size_t row, std::string_view email, std::string_view address,
                               int code, std::string_view resultText, const RowVerdict& verdict,
                               const AddressColumns& told,
                               const std::vector<std::string>& transcript) {
    const std::string_view verdictName = VerdictName(verdict.verdict);
    const std::string_view reasonName = verdict.reason ? ReasonName(*verdict.reason) : "";
    std::string line;
    if (format_ == ResultFormat::kCsv) {
        line = std::to_string(row) + "," + CsvField(email) + "," + CsvField(address) + "," +
               std::to_string(code) + "," + CsvField(resultText) + "," +
               (code == 0 ? "true" : "false") + "," + std::string(verdictName) + "," +
               std::string(reasonName) + "," + AddressFlagsText(told.flags, ';') + "," +
               CsvField(told.suggestion) + "," + CsvField(told.provider) + "\r\n";
    } else {
        line = "{\"row\":" + std::to_string(row) + ",\"email\":" + JsonString(email) +
               ",\"address\":" + JsonString(address) + ",\"code\":" + std::to_string(code) +
               ",\"result\":" + JsonString(resultText) +
               ",\"valid\":" + (code == 0 ? "true" : "false") +
               ",\"verdict\":" + JsonString(verdictName) + ",\"reason\":" + JsonString(reasonName) +
               ",\"reply\":" + JsonString(verdict.reply);
        if (transcripts_) {
            line += ",\"transcript\":[";
            for (size_t i = 0; i < transcript.size(); ++i)
                line += (i ? "," : "") + JsonString(transcript[i]);
            line += "]";
        }
        line += ",\"flags\":[";
        for (AddressFlag flag : kAddressFlags)
            if (told.flags.Has(flag))
                line += (line.back() == '[' ? "" : ",") + JsonString(AddressFlagName(flag));
        line += "],\"suggestion\":" + JsonString(told.suggestion) +
                ",\"provider\":" + JsonString(told.provider) + "}\n";
    }
    std::fwrite(line.data(), 1, line.size(), out_);
}

}  // namespace mv::cli
