// Reads a text file line by line in large blocks. A line ends at CR LF, LF
// or CR; the last line needs no line end, and a file that ends with a line
// end has no empty line after it.
//
// The first bytes of the file may be a byte-order mark. A UTF-8 mark is
// skipped and the lines are handed out as raw bytes: deciding between UTF-8
// and a single-byte code page is the caller's business. A UTF-16 mark (LE or
// BE, as a spreadsheet writes "Unicode Text") makes the reader decode the
// file and hand out its lines in UTF-8; a unit that is not valid UTF-16 (a
// lone surrogate, an odd last byte) becomes U+FFFD.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

namespace mv {

enum class ByteOrderMark { None, Utf8, Utf16Le, Utf16Be };

class TextLineReader {
  public:
    static constexpr size_t kDefaultBlockSize = size_t{1} << 20;
    // How far HoldsNul() looks.
    static constexpr size_t kNulScanSize = 4096;

    // Opens the file; EImportError naming it when that fails. The file is
    // read `blockSize` bytes at a time (at least 1).
    explicit TextLineReader(std::filesystem::path path, size_t blockSize = kDefaultBlockSize);
    ~TextLineReader();
    TextLineReader(const TextLineReader&) = delete;
    TextLineReader& operator=(const TextLineReader&) = delete;

    const std::filesystem::path& Path() const { return path_; }
    // The mark at the start of the file (known after the first read).
    ByteOrderMark Mark() const { return mark_; }
    // Whether the file, having no UTF-16 mark, holds a NUL byte within its
    // first kNulScanSize bytes (known after the first read): it is then no
    // text file at all.
    bool HoldsNul() const { return holdsNul_; }

    // Back to the first line. EImportError when the file cannot be read.
    void Rewind();
    // No line left. May read; EImportError when the file cannot be read.
    bool AtEnd();
    // The next line without its line end, valid until the next call; false
    // when no line is left. EImportError when the file cannot be read.
    bool ReadLine(std::string_view& line);

  private:
    // Reads more bytes after those not yet handed out; false at the end.
    bool Fill();
    // Reads up to `size` bytes of the file into `into`; 0 at its end.
    size_t ReadSome(char* into, size_t size);
    // Looks at the first bytes read, which stand at end_ (`size` of them).
    void Inspect(size_t size);
    // Decodes `raw` (after the bytes kept from the last call) as UTF-16 and
    // appends the UTF-8 at end_; `last` ends the file.
    void DecodeUtf16(std::string_view raw, bool last);
    void SkipPendingLineFeed();

    std::filesystem::path path_;
    size_t blockSize_;
    int fd_ = -1;
    std::string buffer_;  // UTF-8 or raw bytes, as handed out
    size_t begin_ = 0;    // first byte not yet handed out
    size_t end_ = 0;      // end of the bytes read
    bool eof_ = false;
    bool atStart_ = true;           // nothing read since the last rewind
    bool pendingLineFeed_ = false;  // the last line ended in CR: skip an LF
    ByteOrderMark mark_ = ByteOrderMark::None;
    bool holdsNul_ = false;
    std::string raw_;             // a UTF-16 block as read
    std::string carry_;           // an odd byte left from the last UTF-16 block
    char16_t highSurrogate_ = 0;  // a high surrogate waiting for its low one
};

}  // namespace mv
