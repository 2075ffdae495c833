// Saving a file so that a failure half-way (a full disk, a crash, a power
// cut) never destroys the copy that was there before: the new content goes to
// a temporary file beside the target, is flushed to the disk, and only then
// takes the target's name in one rename. Until that rename the old file is
// untouched; if anything fails the temporary file is removed and the error is
// raised. Project files, the settings file and exports are written this way.
//
// The temporary file is unnamed (O_TMPFILE) while it is written, so a save
// that is killed leaves nothing behind; it gets its temporary name
// ".<name>.<random>.tmp" only when complete, just before the rename. Where
// the file system has no unnamed files it is named from the start. A save
// holds a lock on its temporary file while the file bears that name, so the
// next save of the same target recognises temporary files that nobody holds
// as left by a killed save, and removes them.
#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/error/exception.h"

namespace mv {

// Something that takes bytes in order: a file being written, a buffer.
class ByteSink {
  public:
    virtual ~ByteSink() = default;
    virtual void Write(const void* data, size_t size) = 0;
    void Write(std::string_view bytes) { Write(bytes.data(), bytes.size()); }
};

// Errors of file access. The message is the one the user sees; the system's
// error number (errno, 0 when there is none) is kept for logs.
class EFileError : public Exception {
  public:
    EFileError(const std::string& message, int systemError)
        : Exception(message), systemError_(systemError) {}
    int SystemError() const { return systemError_; }
    const char* ClassName() const override { return "EFileError"; }

  private:
    int systemError_;
};

// "Cannot create file %s"
class EFCreateError : public EFileError {
  public:
    EFCreateError(const std::filesystem::path& path, int systemError);
    const char* ClassName() const override { return "EFCreateError"; }
};

// "Cannot open file %s"
class EFOpenError : public EFileError {
  public:
    EFOpenError(const std::filesystem::path& path, int systemError);
    const char* ClassName() const override { return "EFOpenError"; }
};

// "Stream write error"
class EWriteError : public EFileError {
  public:
    explicit EWriteError(int systemError);
    const char* ClassName() const override { return "EWriteError"; }
};

enum class TemporaryName {
    WhenComplete,  // unnamed while written, where the file system allows
    FromTheStart,  // for writers that must open the temporary file by its name
};

class AtomicFile : public ByteSink {
  public:
    // Creates the temporary file beside `path` (or beside the file that
    // `path` links to), after removing the leftovers of earlier saves of it.
    // Throws EFCreateError naming `path` when the folder does not let it be
    // created, or when `path` is a file that may not be written.
    explicit AtomicFile(std::filesystem::path path,
                        TemporaryName naming = TemporaryName::WhenComplete);
    // Removes the temporary file unless Commit succeeded.
    ~AtomicFile() override;
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // Buffered; throws EWriteError when the system refuses the bytes.
    void Write(const void* data, size_t size) override;
    using ByteSink::Write;

    // Writes out the buffer, flushes the file to the disk, names it and
    // renames it over the target, and flushes the folder. Throws EWriteError
    // (writing or flushing failed) or EFCreateError (naming or the rename
    // failed); the temporary file is then removed and the target keeps its
    // old content.
    void Commit();
    // Gives up: removes the temporary file, leaves the target alone.
    void Discard() noexcept;

    const std::filesystem::path& Path() const { return path_; }
    // Empty while the temporary file has no name.
    const std::filesystem::path& TemporaryPath() const { return temporary_; }

  private:
    void Flush();
    void WriteOut(const char* bytes, size_t size);

    std::filesystem::path path_;       // as the caller named it (for messages)
    std::filesystem::path target_;     // the file that is replaced
    std::filesystem::path temporary_;  // beside target_; empty while unnamed
    int fd_ = -1;
    std::vector<char> buffer_;
};

// Creates an AtomicFile for `path`, lets `produce` write the content and
// commits it. If `produce` throws, the target is left alone and the exception
// passes on.
void WriteFileAtomically(const std::filesystem::path& path,
                         const std::function<void(ByteSink&)>& produce);

}  // namespace mv
