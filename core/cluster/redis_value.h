// A reply of the Redis server as a plain value, and the readers the cluster
// uses on it. Everything a server sends is checked before it is used: a reply
// of the wrong shape reads as "missing", never as a crash.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

struct redisReply;

namespace mv::cluster {

struct RedisValue {
    enum class Type { kNil, kString, kStatus, kError, kInteger, kArray };
    Type type = Type::kNil;
    long long integer = 0;
    std::string text;  // of a string, a status or an error
    std::vector<RedisValue> elements;

    bool IsError() const { return type == Type::kError; }
    bool IsNil() const { return type == Type::kNil; }
    bool IsArray() const { return type == Type::kArray; }
    bool IsText() const { return type == Type::kString || type == Type::kStatus; }
    // Element `i` of an array, or a nil value.
    const RedisValue& At(size_t i) const;
    size_t Size() const { return elements.size(); }
    // A whole number from a string or an integer reply.
    std::optional<long long> AsInteger() const;
    static RedisValue Error(std::string message);
};

// The value of a reply as hiredis parsed it (a malformed or too deeply
// nested one reads as an error value).
RedisValue FromHiredisReply(const redisReply* reply);

// The fields of a stream entry or a hash (a flat array of names and values),
// in order; strings only.
using FieldList = std::vector<std::pair<std::string, std::string>>;
std::optional<FieldList> ReadFieldList(const RedisValue& flat);
// The value of `name` in `fields`, or none.
const std::string* FindField(const FieldList& fields, std::string_view name);

// One entry of a stream: its id and fields. A deleted entry (which XCLAIM
// may still name) has no fields.
struct StreamEntry {
    std::string id;
    FieldList fields;
    bool deleted = false;
};
// The entries of an XRANGE-style array; none when it is malformed.
std::optional<std::vector<StreamEntry>> ReadEntries(const RedisValue& array);
// The reply of XREAD or XREADGROUP: per stream, its key and entries.
std::optional<std::vector<std::pair<std::string, std::vector<StreamEntry>>>> ReadStreams(
    const RedisValue& reply);

// "1700000000000-3" is a valid stream id.
bool ValidStreamId(std::string_view id);

}  // namespace mv::cluster
