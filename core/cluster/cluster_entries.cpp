#include "cluster/cluster_entries.h"

#include <charconv>

#include "cluster/cluster_keys.h"

namespace mv::cluster {

namespace {

template <class Number>
bool ReadNumber(const std::string* text, Number& value) {
    if (text == nullptr || text->empty() || text->size() > 20) return false;
    const auto [end, ec] = std::from_chars(text->data(), text->data() + text->size(), value);
    return ec == std::errc() && end == text->data() + text->size();
}

const std::string& Or(const std::string* text) {
    static const std::string kEmpty;
    return text != nullptr ? *text : kEmpty;
}

std::optional<ClusterEvent::Type> TypeOf(const std::string* text) {
    if (text == nullptr) return std::nullopt;
    if (*text == kEventBegun) return ClusterEvent::Type::kBegun;
    if (*text == kEventResult) return ClusterEvent::Type::kResult;
    if (*text == kEventError) return ClusterEvent::Type::kError;
    if (*text == kEventCancelled) return ClusterEvent::Type::kCancelled;
    return std::nullopt;
}

bool ReadResult(const FieldList& f, ClusterEvent& e, std::string& error) {
    const std::string* final = FindField(f, field::kFinal);
    const std::string* finding = FindField(f, field::kFinding);
    if (final == nullptr || (*final != "0" && *final != "1") || finding == nullptr)
        return error = "a result without its findings", false;
    e.final = *final == "1";
    auto record = ParseFindingLine(*finding);
    if (!record || record->row != e.row) return error = "a malformed findings line", false;
    e.record = std::move(*record);
    if (const std::string* due = FindField(f, field::kDue); due != nullptr && !due->empty())
        if (!ReadNumber(due, e.due)) return error = "a malformed due time", false;
    e.email = Or(FindField(f, field::kEmail));
    e.transcript = SplitTranscript(Or(FindField(f, field::kTranscript)));
    return true;
}

}  // namespace

std::optional<WorkItem> ReadWorkItem(const StreamEntry& entry, size_t rows, std::string& error) {
    WorkItem item;
    item.id = entry.id;
    const FieldList& f = entry.fields;
    const std::string* address = FindField(f, field::kAddress);
    if (entry.deleted) return error = "the entry was deleted", std::nullopt;
    if (!ReadNumber(FindField(f, field::kRow), item.row))
        return error = "the entry has no row number", std::nullopt;
    if (item.row >= rows)
        return error = "row " + std::to_string(item.row) + " lies outside the run", std::nullopt;
    if (address == nullptr) return error = "the entry has no address", std::nullopt;
    if (const std::string* t = FindField(f, field::kTry); t != nullptr)
        if (!ReadNumber(t, item.tryNumber) || item.tryNumber < 0 || item.tryNumber > kMaxTry)
            return error = "the entry has a bad try number", std::nullopt;
    item.address = *address;
    item.email = Or(FindField(f, field::kEmail));
    return item;
}

std::vector<std::string> WorkFields(size_t row, const std::string& address,
                                    const std::string& email, int tryNumber) {
    return {field::kRow, std::to_string(row), field::kAddress,          address, field::kEmail,
            email,       field::kTry,         std::to_string(tryNumber)};
}

std::string DelayedMember(const WorkItem& item) {
    return std::to_string(item.row) + "\t" + std::to_string(item.tryNumber + 1) + "\t" +
           item.address + "\t" + item.email;
}

std::optional<ClusterEvent> ReadEvent(const StreamEntry& entry, std::string& error) {
    ClusterEvent e;
    e.id = entry.id;
    const FieldList& f = entry.fields;
    const auto type = TypeOf(FindField(f, field::kType));
    if (!type) return error = "an event of no known type", std::nullopt;
    e.type = *type;
    e.worker = Or(FindField(f, field::kWorker));
    e.hasRow = ReadNumber(FindField(f, field::kRow), e.row);
    if (const std::string* t = FindField(f, field::kTry); t != nullptr)
        if (!ReadNumber(t, e.tryNumber)) return error = "a bad try number", std::nullopt;
    switch (e.type) {
        case ClusterEvent::Type::kBegun:
            if (!e.hasRow) return error = "a begun event without its row", std::nullopt;
            break;
        case ClusterEvent::Type::kResult:
            if (!e.hasRow) return error = "a result without its row", std::nullopt;
            if (!ReadResult(f, e, error)) return std::nullopt;
            break;
        case ClusterEvent::Type::kError:
            e.entry = Or(FindField(f, field::kEntry));
            e.message = Or(FindField(f, field::kMessage));
            break;
        case ClusterEvent::Type::kCancelled:
            break;
    }
    return e;
}

std::string JoinTranscript(const std::vector<std::string>& lines) {
    std::string text;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (i > 0) text += '\n';
        for (char c : lines[i])
            text += c == '\n' ? ' ' : c;
    }
    return text;
}

std::vector<std::string> SplitTranscript(const std::string& text) {
    std::vector<std::string> lines;
    if (text.empty()) return lines;
    size_t start = 0;
    for (;;) {
        const size_t end = text.find('\n', start);
        lines.push_back(text.substr(start, end - start));
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return lines;
}

}  // namespace mv::cluster
