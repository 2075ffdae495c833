#include "project/list/text_pack.h"

#include <cstring>

namespace mv {

namespace {

size_t VarintSize(size_t value) {
    size_t n = 1;
    while (value >= 0x80) {
        value >>= 7;
        ++n;
    }
    return n;
}

char* PutVarint(char* out, size_t value) {
    while (value >= 0x80) {
        *out++ = static_cast<char>((value & 0x7F) | 0x80);
        value >>= 7;
    }
    *out++ = static_cast<char>(value);
    return out;
}

// The block was written by PutVarint, so no bounds are needed here.
const char* GetVarint(const char* in, size_t& value) {
    value = 0;
    unsigned shift = 0;
    for (;;) {
        const auto byte = static_cast<unsigned char>(*in++);
        value |= static_cast<size_t>(byte & 0x7F) << shift;
        if ((byte & 0x80) == 0) {
            return in;
        }
        shift += 7;
    }
}

}  // namespace

size_t TextPack::PackedSize(std::span<const std::string_view> texts) {
    if (texts.empty() || (texts.size() == 1 && texts[0].empty())) {
        return 0;
    }
    size_t size = VarintSize(texts.size());
    for (std::string_view text : texts) {
        size += VarintSize(text.size()) + text.size();
    }
    return size;
}

TextPack TextPack::Pack(std::span<const std::string_view> texts, char* block) {
    TextPack pack;
    if (block == nullptr) {
        return pack;
    }
    char* out = PutVarint(block, texts.size());
    for (std::string_view text : texts) {
        out = PutVarint(out, text.size());
        if (!text.empty()) {
            std::memcpy(out, text.data(), text.size());
        }
        out += text.size();
    }
    pack.data_ = block;
    return pack;
}

size_t TextPack::Count() const {
    if (!data_) {
        return 1;
    }
    size_t count = 0;
    GetVarint(data_, count);
    return count;
}

std::string_view TextPack::At(size_t index) const {
    if (!data_) {
        return {};
    }
    size_t count = 0;
    const char* in = GetVarint(data_, count);
    if (index >= count) {
        return {};
    }
    for (size_t i = 0;; ++i) {
        size_t length = 0;
        in = GetVarint(in, length);
        if (i == index) {
            return {in, length};
        }
        in += length;
    }
}

void TextPack::Unpack(std::vector<std::string_view>& out) const {
    if (!data_) {
        out.emplace_back();
        return;
    }
    size_t count = 0;
    const char* in = GetVarint(data_, count);
    for (size_t i = 0; i < count; ++i) {
        size_t length = 0;
        in = GetVarint(in, length);
        out.emplace_back(in, length);
        in += length;
    }
}

size_t TextPack::BlockSize() const {
    if (!data_) {
        return 0;
    }
    size_t count = 0;
    const char* in = GetVarint(data_, count);
    for (size_t i = 0; i < count; ++i) {
        size_t length = 0;
        in = GetVarint(in, length);
        in += length;
    }
    return static_cast<size_t>(in - data_);
}

}  // namespace mv
