// The texts of one recipient row packed into a single block of bytes, so that
// a row costs one small block instead of several strings. Layout: the number
// of texts, then each text as its length and its bytes; numbers are unsigned
// LEB128 (one byte below 128). A row with an empty caption and no sub-items
// needs no block at all. A TextPack only points at its block; the recipient
// list owns the memory (see text_arena.h).
#pragma once

#include <cstddef>
#include <span>
#include <string_view>
#include <vector>

namespace mv {

class TextPack {
  public:
    // One empty text (an empty caption) and nothing else.
    TextPack() = default;

    // Bytes that packing `texts` takes (texts[0] is the caption); 0 when
    // there is nothing but an empty caption.
    static size_t PackedSize(std::span<const std::string_view> texts);
    // Packs `texts` into `block`, which holds PackedSize(texts) bytes.
    static TextPack Pack(std::span<const std::string_view> texts, char* block);

    // The block (null when there is none).
    const char* Block() const { return data_; }

    // Number of texts, the caption included; at least 1.
    size_t Count() const;
    // Text `index`; empty when there is no such text.
    std::string_view At(size_t index) const;
    // Appends views of every text to `out` (valid while this pack lives).
    void Unpack(std::vector<std::string_view>& out) const;
    // Bytes of the block (0 when there is none).
    size_t BlockSize() const;

  private:
    const char* data_ = nullptr;
};

}  // namespace mv
