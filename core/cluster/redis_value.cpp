#include "cluster/redis_value.h"

#include <hiredis/hiredis.h>

#include <charconv>

namespace mv::cluster {

namespace {

// Replies nest only a few levels; anything deeper is not ours.
constexpr int kMaxDepth = 8;

RedisValue Convert(const redisReply* r, int depth) {
    RedisValue v;
    if (r == nullptr || depth > kMaxDepth) return RedisValue::Error("malformed reply");
    switch (r->type) {
        case REDIS_REPLY_STRING:
        case REDIS_REPLY_STATUS:
        case REDIS_REPLY_ERROR:
            v.type = r->type == REDIS_REPLY_STRING   ? RedisValue::Type::kString
                     : r->type == REDIS_REPLY_STATUS ? RedisValue::Type::kStatus
                                                     : RedisValue::Type::kError;
            if (r->str != nullptr) v.text.assign(r->str, r->len);
            break;
        case REDIS_REPLY_INTEGER:
            v.type = RedisValue::Type::kInteger;
            v.integer = r->integer;
            break;
        case REDIS_REPLY_ARRAY:
            v.type = RedisValue::Type::kArray;
            v.elements.reserve(r->elements);
            for (size_t i = 0; i < r->elements; ++i)
                v.elements.push_back(Convert(r->element[i], depth + 1));
            break;
        default:
            break;  // nil
    }
    return v;
}

}  // namespace

RedisValue FromHiredisReply(const redisReply* reply) {
    return Convert(reply, 0);
}

const RedisValue& RedisValue::At(size_t i) const {
    static const RedisValue kNil;
    return i < elements.size() ? elements[i] : kNil;
}

std::optional<long long> RedisValue::AsInteger() const {
    if (type == Type::kInteger) return integer;
    if (type != Type::kString) return std::nullopt;
    long long value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

RedisValue RedisValue::Error(std::string message) {
    RedisValue v;
    v.type = Type::kError;
    v.text = std::move(message);
    return v;
}

std::optional<FieldList> ReadFieldList(const RedisValue& flat) {
    if (!flat.IsArray() || flat.Size() % 2 != 0) return std::nullopt;
    FieldList fields;
    fields.reserve(flat.Size() / 2);
    for (size_t i = 0; i < flat.Size(); i += 2) {
        if (!flat.At(i).IsText() || !flat.At(i + 1).IsText()) return std::nullopt;
        fields.emplace_back(flat.At(i).text, flat.At(i + 1).text);
    }
    return fields;
}

const std::string* FindField(const FieldList& fields, std::string_view name) {
    for (const auto& [key, value] : fields)
        if (key == name) return &value;
    return nullptr;
}

std::optional<std::vector<StreamEntry>> ReadEntries(const RedisValue& array) {
    if (array.IsNil()) return std::vector<StreamEntry>{};
    if (!array.IsArray()) return std::nullopt;
    std::vector<StreamEntry> entries;
    entries.reserve(array.Size());
    for (const RedisValue& e : array.elements) {
        if (!e.IsArray() || e.Size() != 2 || !e.At(0).IsText()) return std::nullopt;
        StreamEntry entry;
        entry.id = e.At(0).text;
        if (e.At(1).IsNil()) {
            entry.deleted = true;
        } else if (auto fields = ReadFieldList(e.At(1))) {
            entry.fields = std::move(*fields);
        } else {
            return std::nullopt;
        }
        entries.push_back(std::move(entry));
    }
    return entries;
}

std::optional<std::vector<std::pair<std::string, std::vector<StreamEntry>>>> ReadStreams(
    const RedisValue& reply) {
    std::vector<std::pair<std::string, std::vector<StreamEntry>>> streams;
    if (reply.IsNil()) return streams;  // BLOCK ran out
    if (!reply.IsArray()) return std::nullopt;
    for (const RedisValue& s : reply.elements) {
        if (!s.IsArray() || s.Size() != 2 || !s.At(0).IsText()) return std::nullopt;
        auto entries = ReadEntries(s.At(1));
        if (!entries) return std::nullopt;
        streams.emplace_back(s.At(0).text, std::move(*entries));
    }
    return streams;
}

bool ValidStreamId(std::string_view id) {
    const size_t dash = id.find('-');
    if (dash == 0 || dash == std::string_view::npos || dash + 1 == id.size() || id.size() > 41)
        return false;
    for (size_t i = 0; i < id.size(); ++i)
        if (i != dash && (id[i] < '0' || id[i] > '9')) return false;
    return true;
}

}  // namespace mv::cluster
