// The project file (".mlt"): the recipient list written as the object stream
// of the list control "ListView1" of class "TListView". The stream holds the
// list's position and size, fixed display settings, the columns (caption and
// width) and the rows as one binary items block; transcripts are not stored.
//
// Texts are stored in the ANSI code page (Windows-1252); item texts are cut
// to their first 255 bytes. Reading replaces the rows (a file without rows
// gives an empty list) and, when the file has any, the columns. After a
// failure the list keeps what was read up to it, and in every case each row
// ends with an empty transcript.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "platform/error/exception.h"
#include "platform/file/atomic_file.h"
#include "project/list/recipient_list.h"

namespace mv {

// The place of the list inside the main window as the stream records it.
// Without a window these defaults stand for the list under the tool bar of
// the main window at its initial size (648 by 526 pixels).
struct ListBounds {
    int32_t left = 0;
    int32_t top = 29;
    int32_t width = 640;
    int32_t height = 424;
    bool operator==(const ListBounds&) const = default;
};

// A project stream that cannot be read. The message is one of "Invalid
// stream format", "Stream read error", or "Error reading <object>.<property>:
// <reason>" for a property that does not exist, a path through a property
// that is not an object, or a value that cannot be read.
class EReadError : public Exception {
  public:
    explicit EReadError(const std::string& message, bool framed = false)
        : Exception(message), framed_(framed) {}
    const char* ClassName() const override { return "EReadError"; }
    // True when the message already names the property being read.
    bool Framed() const { return framed_; }

  private:
    bool framed_;
};

// Something that gives bytes in order: a file being read, a buffer.
class ByteSource {
  public:
    virtual ~ByteSource() = default;
    // Reads up to `size` bytes; 0 at the end. Throws EReadError ("Stream read
    // error") when the bytes cannot be read.
    virtual size_t ReadSome(void* data, size_t size) = 0;
    // How many bytes are left, when that is known; readers use it to size
    // their buffers, never to trust a length read from the stream.
    virtual std::optional<uint64_t> Remaining() const { return std::nullopt; }
};

// ---- Writing ----

// Writes the object stream of `list`. Throws EWriteError when the items block
// would not fit the format's 32-bit sizes, and whatever `sink` throws.
void WriteProject(const RecipientList& list, ByteSink& sink, const ListBounds& bounds = {});

// Writes the project file `path` atomically: the old file stays as it was
// unless the whole new one was written. Throws EFCreateError ("Cannot create
// file %s") or EWriteError ("Stream write error").
void SaveProjectFile(const RecipientList& list, const std::filesystem::path& path,
                     const ListBounds& bounds = {});

// ---- Reading ----

// Reads an object stream into `list` (see the top of this file). The bounds
// read from the stream are stored in `bounds` when it is given and reading
// succeeds. Throws EReadError.
void ReadProject(RecipientList& list, ByteSource& source, ListBounds* bounds = nullptr);
void ReadProject(RecipientList& list, std::string_view bytes, ListBounds* bounds = nullptr);

// Reads the project file `path` into `list`. Throws EFOpenError ("Cannot
// open file %s"), leaving the rows as they were, or EReadError. Either way
// every row ends with an empty transcript.
void LoadProjectFile(RecipientList& list, const std::filesystem::path& path,
                     ListBounds* bounds = nullptr);

}  // namespace mv
