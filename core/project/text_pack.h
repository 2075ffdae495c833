// The texts of one recipient row packed into a single heap block, so that a
// million rows cost a million small allocations instead of several million
// strings. Layout: the number of texts, then each text as its length and its
// bytes; numbers are unsigned LEB128 (one byte below 128). A row with an
// empty caption and no sub-items holds no block at all.
#pragma once

#include <cstddef>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

namespace mv {

class TextPack {
  public:
    // One empty text (an empty caption) and nothing else.
    TextPack() = default;
    // Packs `texts`; texts[0] is the caption. An empty span packs one empty
    // caption.
    static TextPack Make(std::span<const std::string_view> texts);

    // Number of texts, the caption included; at least 1.
    size_t Count() const;
    // Text `index`; empty when there is no such text.
    std::string_view At(size_t index) const;
    // Appends views of every text to `out` (valid while this pack lives).
    void Unpack(std::vector<std::string_view>& out) const;
    // Bytes of the block (0 when there is none).
    size_t BlockSize() const;

  private:
    std::unique_ptr<char[]> data_;
};

}  // namespace mv
