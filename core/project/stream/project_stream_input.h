// Bounds-checked, buffered reading of the project stream. Every read either
// gets all the bytes it asks for or throws EReadError ("Stream read error");
// nothing is allocated ahead of the bytes actually present, so a stated
// length of two gigabytes in a short file costs nothing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "project/stream/project_stream.h"

namespace mv::project_stream {

class StreamInput {
  public:
    explicit StreamInput(ByteSource& source);

    // Reads up to `size` bytes; fewer only at the end of the stream.
    size_t ReadUpTo(void* data, size_t size);
    void Read(void* data, size_t size);
    // Appends `size` bytes to `out`, growing it as the bytes arrive.
    void ReadAppend(std::string& out, size_t size);
    void Skip(uint64_t size);

    uint8_t Byte() {
        if (pos_ == end_ && !Fill()) {
            Fail();
        }
        ++consumed_;
        return static_cast<uint8_t>(buffer_[pos_++]);
    }
    int32_t Int32();
    int16_t Int16();

    // Bytes consumed so far.
    uint64_t Position() const { return consumed_; }
    // Bytes left, when the source knows; else the largest possible number.
    uint64_t RemainingHint() const;

    [[noreturn]] static void Fail();

  private:
    bool Fill();

    ByteSource& source_;
    std::vector<char> buffer_;
    size_t pos_ = 0;
    size_t end_ = 0;
    uint64_t consumed_ = 0;
};

// A ByteSource over bytes in memory.
class MemorySource : public ByteSource {
  public:
    explicit MemorySource(std::string_view bytes) : bytes_(bytes) {}
    size_t ReadSome(void* data, size_t size) override;
    std::optional<uint64_t> Remaining() const override { return bytes_.size(); }

  private:
    std::string_view bytes_;
};

// A ByteSource over an open file descriptor (not closed by it).
class FileSource : public ByteSource {
  public:
    explicit FileSource(int fd) : fd_(fd) {}
    size_t ReadSome(void* data, size_t size) override;
    std::optional<uint64_t> Remaining() const override;

  private:
    int fd_;
};

// Text of the stream: true when every byte is ASCII (and needs no
// conversion).
bool IsAscii(std::string_view bytes);
// ANSI (Windows-1252) bytes -> UTF-8.
std::string AnsiToUtf8(std::string_view ansi);
// UTF-16LE code units -> UTF-8; a lone surrogate becomes U+FFFD.
std::string Utf16ToUtf8(std::string_view bytes);

}  // namespace mv::project_stream
