#include "project/findings/finding_line.h"

#include <charconv>
#include <vector>

namespace mv {

namespace {

constexpr std::string_view kReplyJoin = " | ";
constexpr size_t kFields = 9;

// Appends `text` with every tab, carriage return and line feed made a blank.
void AppendField(std::string& out, std::string_view text) {
    for (char c : text)
        out.push_back(c == '\t' || c == '\r' || c == '\n' ? ' ' : c);
}

// Cuts `text` to at most `limit` bytes without splitting a UTF-8 sequence.
std::string_view CutUtf8(std::string_view text, size_t limit) {
    if (text.size() <= limit) return text;
    size_t end = limit;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
        --end;
    return text.substr(0, end);
}

std::string JoinedReply(const std::string& reply) {
    std::string joined;
    for (std::string_view rest = reply; !rest.empty();) {
        const size_t end = rest.find('\n');
        std::string_view line = rest.substr(0, end);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (!joined.empty()) joined += kReplyJoin;
        joined += line;
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    }
    return joined;
}

std::string SplitReply(std::string_view joined) {
    std::string reply;
    for (;;) {
        const size_t bar = joined.find(kReplyJoin);
        reply += joined.substr(0, bar);
        if (bar == std::string_view::npos) return reply;
        reply += '\n';
        joined.remove_prefix(bar + kReplyJoin.size());
    }
}

template <class Number>
bool ReadNumber(std::string_view text, Number& value) {
    if (text.empty() || text.size() > 20) return false;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size();
}

std::vector<std::string> SplitHosts(std::string_view text) {
    std::vector<std::string> hosts;
    while (!text.empty()) {
        const size_t blank = text.find(' ');
        if (blank != 0) hosts.emplace_back(text.substr(0, blank));
        if (blank == std::string_view::npos) break;
        text.remove_prefix(blank + 1);
    }
    return hosts;
}

}  // namespace

std::string FormatFindingLine(const FindingRecord& record) {
    const ResultFinding& f = record.finding;
    std::string line = std::to_string(record.row);
    line += '\t';
    AppendField(line, record.address);
    line += '\t';
    line += std::to_string(record.code);
    line += '\t';
    line += VerdictName(f.verdict);
    line += '\t';
    line += ReasonName(f.reason);
    line += '\t';
    AppendField(line, f.enhanced);
    line += '\t';
    AppendField(line, f.host);
    line += '\t';
    for (size_t i = 0; i < f.hostsTried.size(); ++i) {
        if (i > 0) line += ' ';
        AppendField(line, f.hostsTried[i]);
    }
    line += '\t';
    AppendField(line, CutUtf8(JoinedReply(f.reply), kMaxReplyBytes));
    if (f.notChecked) {
        line += '\t';
        line += kNotCheckedMark;
    }
    return line;
}

std::optional<FindingRecord> ParseFindingLine(std::string_view line) {
    if (line.size() > kMaxLineBytes) return std::nullopt;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    std::string_view fields[kFields + 1];
    for (size_t i = 0; i < kFields; ++i) {
        const size_t tab = line.find('\t');
        if (tab == std::string_view::npos && i + 1 < kFields) return std::nullopt;
        fields[i] = line.substr(0, tab);
        line = tab == std::string_view::npos ? std::string_view() : line.substr(tab + 1);
    }
    fields[kFields] = line.substr(0, line.find('\t'));
    FindingRecord record;
    const auto verdict = ParseVerdict(fields[3]);
    const auto reason = ParseReason(fields[4]);
    if (!ReadNumber(fields[0], record.row) || !ReadNumber(fields[2], record.code) || !verdict ||
        !reason)
        return std::nullopt;
    record.address = fields[1];
    record.finding.verdict = *verdict;
    record.finding.reason = *reason;
    record.finding.enhanced = fields[5];
    record.finding.host = fields[6];
    record.finding.hostsTried = SplitHosts(fields[7]);
    record.finding.reply = SplitReply(CutUtf8(fields[8], kMaxReplyBytes));
    record.finding.notChecked = fields[kFields] == kNotCheckedMark;
    return record;
}

}  // namespace mv
