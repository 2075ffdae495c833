#include "project/findings/findings_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/file/file_blocks.h"
#include "project/list/row_verdict.h"
#include "project/run/address_text.h"

namespace mv {

namespace {

// Enough of a line to know that it is too long: a longer one is cut to this.
constexpr size_t kMaxHeld = kMaxLineBytes + 1;
constexpr size_t kReadBlock = size_t{64} * 1024;
constexpr std::string_view kCodeOnly = "the verdicts come from the result codes alone";

// The hand-over of a matching line's finding to its row.
FindingsParser::Take IntoRows(RecipientList& list) {
    return [&list](FindingRecord& record) {
        if (record.row >= list.RowCount()) return;
        const std::optional<ResultColumn> result = ParseResultColumn(list.SubItem(record.row, 0));
        if (!result || result->code != record.code ||
            ExtractAddress(list.Caption(record.row)) != record.address)
            return;
        list.SetFinding(record.row, std::move(record.finding));
    };
}

std::string NoticeOf(const std::filesystem::path& path, const FindingsTally& tally) {
    const std::string file = "The findings file " + path.string();
    if (!tally.headerOk)
        return file + " is not one this program can read; " + std::string(kCodeOnly);
    if (tally.badLines == 0) return {};
    return file + " has " + std::to_string(tally.badLines) +
           (tally.badLines == 1 ? " damaged line" : " damaged lines") + "; for their rows " +
           std::string(kCodeOnly);
}

}  // namespace

void FindingsParser::Feed(std::string_view bytes) {
    while (!bytes.empty()) {
        const size_t end = bytes.find('\n');
        const std::string_view piece = bytes.substr(0, end);
        if (end == std::string_view::npos) {
            offset_ += bytes.size();
            pending_.append(piece.substr(0, kMaxHeld - std::min(pending_.size(), kMaxHeld)));
            return;
        }
        offset_ += end + 1;
        if (pending_.empty()) {
            Line(piece.substr(0, kMaxHeld));  // read in place
        } else {
            pending_.append(piece.substr(0, kMaxHeld - std::min(pending_.size(), kMaxHeld)));
            Line(pending_);
            pending_.clear();
        }
        bytes.remove_prefix(end + 1);
    }
}

FindingsTally FindingsParser::Finish() {
    if (!pending_.empty() && !first_ && tally_.headerOk) {  // a torn tail
        ++tally_.lines;
        ++tally_.badLines;
    }
    pending_.clear();
    return tally_;
}

void FindingsParser::Line(std::string_view line) {
    if (first_) {
        first_ = false;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        tally_.headerOk = line == kFindingsHeader;
        if (tally_.headerOk) tally_.goodBytes = offset_;
        return;
    }
    if (!tally_.headerOk) return;
    ++tally_.lines;
    std::optional<FindingRecord> record;
    if (!ended_) record = ParseFindingLine(line);
    // The writer of a findings file goes down the rows in order: a row out of
    // order is damage.
    const bool outOfOrder =
        record && order_ == FindingsOrder::kByRow && lastRow_ && record->row <= *lastRow_;
    if (!record || outOfOrder) {
        ++tally_.badLines;
        ended_ = order_ == FindingsOrder::kAsWritten;
        return;
    }
    lastRow_ = record->row;
    tally_.goodBytes = offset_;
    take_(*record);
}

std::filesystem::path FindingsPathOf(const std::filesystem::path& project) {
    std::filesystem::path path = project;
    path += ".findings";
    return path;
}

void WriteFindings(const RecipientList& list, ByteSink& sink) {
    std::string out(kFindingsHeader);
    out += '\n';
    FindingRecord record;
    for (size_t row = 0; row < list.RowCount(); ++row) {
        const ResultFinding* finding = list.FindingOf(row);
        const std::optional<ResultColumn> result = ParseResultColumn(list.SubItem(row, 0));
        if (finding == nullptr || !result) continue;
        record.row = row;
        record.address = ExtractAddress(list.Caption(row));
        record.code = result->code;
        record.finding = *finding;
        out += FormatFindingLine(record);
        out += '\n';
        if (out.size() >= kReadBlock) {
            sink.Write(out);
            out.clear();
        }
    }
    sink.Write(out);
}

FindingsTally ReadFindings(RecipientList& list, std::string_view text) {
    list.BeginUpdate();
    FindingsParser parser(IntoRows(list));
    parser.Feed(text);
    const FindingsTally tally = parser.Finish();
    list.EndUpdate();
    return tally;
}

void SaveFindingsFile(const RecipientList& list, const std::filesystem::path& project) {
    const std::filesystem::path path = FindingsPathOf(project);
    try {
        WriteFileAtomically(path, [&](ByteSink& sink) { WriteFindings(list, sink); });
    } catch (const EFileError&) {
        ::unlink(path.c_str());  // a file only: whatever else stands there stays
        throw;
    }
}

std::string LoadFindingsFile(RecipientList& list, const std::filesystem::path& project) {
    const std::filesystem::path path = FindingsPathOf(project);
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0 && errno == ENOENT) return {};  // saved before findings were kept
    list.BeginUpdate();
    FindingsParser parser(IntoRows(list));
    const bool read = fd >= 0 && ReadBlocks(fd, [&](std::string_view b) { parser.Feed(b); });
    const int error = errno;
    const FindingsTally tally = parser.Finish();
    if (!read) list.ClearTranscripts();  // ignored whole, as its notice says
    list.EndUpdate();
    if (fd >= 0) ::close(fd);
    if (!read)
        return "The findings file " + path.string() + " cannot be read (" + std::strerror(error) +
               "); " + std::string(kCodeOnly);
    return NoticeOf(path, tally);
}

}  // namespace mv
