// Constants of the object stream shared by the project writer and reader.
#pragma once

#include <cstdint>
#include <string_view>

namespace mv::project_stream {

// Value tags.
enum Tag : uint8_t {
    kNull = 0,  // also: end of a list
    kList = 1,
    kInt8 = 2,
    kInt16 = 3,
    kInt32 = 4,
    kString = 6,
    kIdent = 7,
    kFalse = 8,
    kTrue = 9,
    kBinary = 10,
    kSet = 11,
    kLString = 12,
    kNil = 13,
    kCollection = 14,
    kWString = 18,
};

inline constexpr std::string_view kSignature = "TPF0";
inline constexpr std::string_view kClassName = "TListView";
inline constexpr std::string_view kObjectName = "ListView1";
inline constexpr std::string_view kColumnClassName = "TListColumn";

inline constexpr int32_t kAllocBy = 50000;
inline constexpr int32_t kTabOrder = 2;
// Longest text of the items block: one length byte.
inline constexpr size_t kMaxItemText = 255;
// Fixed part of an item record: four 32-bit fields, the sub-item count and
// the caption's length byte.
inline constexpr size_t kItemHeaderSize = 21;
// Size and count at the head of the items block.
inline constexpr size_t kBlockHeaderSize = 8;

// Messages of the reader.
inline constexpr std::string_view kInvalidStreamFormat = "Invalid stream format";
inline constexpr std::string_view kStreamReadError = "Stream read error";
inline constexpr std::string_view kPropertyDoesNotExist = "Property does not exist";
inline constexpr std::string_view kInvalidPropertyPath = "Invalid property path";
inline constexpr std::string_view kInvalidPropertyValue = "Invalid property value";

}  // namespace mv::project_stream
