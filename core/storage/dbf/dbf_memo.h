// The memo file of a table: 512-byte blocks; block 0 is the file's header.
//
// A memo starts at block number x 512. When its first eight bytes are
// FF FF 08 00 and a 32-bit length, the text follows them and is that length
// minus 8 bytes long; otherwise the text runs to the first byte 0x1A (or to
// the end of the file). Either way a memo is cut at 65,536 bytes, far above
// any real memo, so that a damaged file (an end mark that is missing, a
// length that is too large) cannot make every record that points into it
// read megabytes.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/text/code_page.h"
#include "storage/dbf/table_stream.h"

namespace mv::dbf {

inline constexpr std::uint32_t kMemoBlockSize = 512;
inline constexpr std::uint64_t kMaxMemoLength = 65536;

class DbfMemo {
  public:
    DbfMemo(std::unique_ptr<TableStream> stream, std::string name);

    const std::string& FileName() const { return name_; }

    // The stored bytes of the memo in `block` (at most kMaxMemoLength); block
    // 0 is an empty memo. A block at or past the end of the file, or a
    // length that runs past it, raises error 1003.
    std::string ReadRaw(std::uint32_t block);

    // The memo as text: decoded from `page` when it holds no zero byte, and
    // taken as Windows-1252 (no conversion) when it does.
    std::string ReadText(std::uint32_t block, const CodePage& page);

    // Stores `utf8` in new blocks at the end of the file and returns the
    // first one; an empty text needs no block and gives 0. (Reading it back
    // gives only its first kMaxMemoLength bytes.)
    std::uint32_t WriteText(std::string_view utf8, const CodePage& page);

    // The header block of a new memo file: the next free block (1) at 0 and
    // the block size at 20.
    static std::string NewFileHeader();

  private:
    std::uint32_t NextFreeBlock();
    [[noreturn]] void Raise(int number, std::uint32_t block) const;

    std::unique_ptr<TableStream> stream_;
    std::string name_;
};

}  // namespace mv::dbf
