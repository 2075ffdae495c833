// The bytes of a table's data or memo file: a file on disk, or a block of
// memory (tables handed over whole, and the fuzz targets).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace mv::dbf {

// How a table file is opened. The sharing of the original platform is kept
// between cooperating programs with whole-file locks: a shared open holds a
// shared lock, an exclusive open an exclusive one, and each refuses the other.
enum class OpenMode { kShared, kExclusive, kReadOnly };

class TableStream {
  public:
    virtual ~TableStream() = default;
    // The current size in bytes.
    virtual std::uint64_t Size() = 0;
    // Reads up to `count` bytes at `offset`; returns the number read (fewer at
    // the end of the data), or -1 on a failure.
    virtual std::int64_t ReadAt(std::uint64_t offset, void* buffer, std::size_t count) = 0;
    // Writes all `count` bytes at `offset`, growing the data as needed.
    virtual bool WriteAt(std::uint64_t offset, const void* data, std::size_t count) = 0;
    virtual bool Flush() = 0;
    // The engine's file error number of the last failure (5 access denied...).
    virtual int LastErrorNumber() const = 0;
};

// Opens a file on disk; nullptr with `errorNumber` set when that fails.
std::unique_ptr<TableStream> OpenFileStream(const std::string& path, OpenMode mode,
                                            int& errorNumber);
// Creates (or empties) a file on disk for writing.
std::unique_ptr<TableStream> CreateFileStream(const std::string& path, int& errorNumber);

// A table file held in memory. Read-only streams refuse writes with error 5.
class MemoryStream : public TableStream {
  public:
    explicit MemoryStream(std::string bytes, bool readOnly = false)
        : bytes_(std::move(bytes)), readOnly_(readOnly) {}
    std::uint64_t Size() override { return bytes_.size(); }
    std::int64_t ReadAt(std::uint64_t offset, void* buffer, std::size_t count) override;
    bool WriteAt(std::uint64_t offset, const void* data, std::size_t count) override;
    bool Flush() override { return true; }
    int LastErrorNumber() const override { return readOnly_ ? 5 : 0; }
    const std::string& Bytes() const { return bytes_; }

  private:
    std::string bytes_;
    bool readOnly_;
};

}  // namespace mv::dbf
