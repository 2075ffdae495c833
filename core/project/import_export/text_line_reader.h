// Reads a text file line by line in large blocks. A line ends at CR LF, LF
// or CR; the last line needs no line end, and a file that ends with a line
// end has no empty line after it. A UTF-8 byte-order mark at the very start
// of the file is skipped. Lines are handed out as raw bytes; deciding their
// encoding is the caller's business.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

namespace mv {

class TextLineReader {
  public:
    // Opens the file; EImportError naming it when that fails.
    explicit TextLineReader(std::filesystem::path path);
    ~TextLineReader();
    TextLineReader(const TextLineReader&) = delete;
    TextLineReader& operator=(const TextLineReader&) = delete;

    const std::filesystem::path& Path() const { return path_; }
    // Whether the file starts with a UTF-8 byte-order mark (known after the
    // first read).
    bool HasByteOrderMark() const { return byteOrderMark_; }

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
    void SkipPendingLineFeed();

    std::filesystem::path path_;
    int fd_ = -1;
    std::string buffer_;
    size_t begin_ = 0;  // first byte not yet handed out
    size_t end_ = 0;    // end of the bytes read
    bool eof_ = false;
    bool atStart_ = true;           // nothing read since the last rewind
    bool pendingLineFeed_ = false;  // the last line ended in CR: skip an LF
    bool byteOrderMark_ = false;
};

}  // namespace mv
