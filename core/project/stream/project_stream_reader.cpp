// Reads the object stream of "ListView1" back into the recipient list. The
// stream is read once, front to back, and applied as it is read, so a failure
// leaves what came before it in place.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <span>

#include "platform/text/code_page.h"
#include "project/stream/project_stream.h"
#include "project/stream/project_stream_format.h"
#include "project/stream/project_stream_input.h"
#include "project/stream/project_stream_properties.h"

namespace mv {

namespace {

using namespace project_stream;

[[noreturn]] void Fail(std::string_view message) {
    throw EReadError(std::string(message));
}

EReadError Framed(std::string_view object, std::string_view property, const char* message) {
    return EReadError(
        "Error reading " + std::string(object) + "." + AnsiToUtf8(property) + ": " + message, true);
}

class ProjectReader {
  public:
    ProjectReader(RecipientList& list, ByteSource& source) : list_(list), in_(source) {}
    void Run(ListBounds* bounds);

  private:
    std::string ShortString();
    void Expect(uint8_t tag);
    int32_t IntegerPayload(uint8_t tag);
    int32_t Integer() { return IntegerPayload(in_.Byte()); }
    std::string String();
    int32_t Count();
    void ReadProperties(std::string_view object, std::span<const Property> table, size_t column);
    void ReadValue(const Property& property, size_t column);
    void ApplyInteger(Target target, int32_t value, size_t column);
    void ReadColumns();
    void ReadItems();
    void ReadItem(uint64_t& blockLeft);

    RecipientList& list_;
    StreamInput in_;
    ListBounds bounds_;
    bool sawItems_ = false;
    // Reused for every item record.
    std::string record_;
    std::vector<size_t> ends_;
    std::vector<std::string> converted_;
    std::vector<std::string_view> texts_;
};

std::string ProjectReader::ShortString() {
    std::string text(in_.Byte(), '\0');
    in_.Read(text.data(), text.size());
    return text;
}

void ProjectReader::Expect(uint8_t tag) {
    if (in_.Byte() != tag) {
        Fail(kInvalidPropertyValue);
    }
}

int32_t ProjectReader::IntegerPayload(uint8_t tag) {
    switch (tag) {
        case kInt8:
            return static_cast<int8_t>(in_.Byte());
        case kInt16:
            return in_.Int16();
        case kInt32:
            return in_.Int32();
        default:
            Fail(kInvalidPropertyValue);
    }
}

// A 32-bit count or length; negative ones mean a broken stream.
int32_t ProjectReader::Count() {
    const int32_t count = in_.Int32();
    if (count < 0) {
        Fail(kInvalidStreamFormat);
    }
    return count;
}

std::string ProjectReader::String() {
    std::string bytes;
    switch (in_.Byte()) {
        case kString:
            return AnsiToUtf8(ShortString());
        case kLString:
            in_.ReadAppend(bytes, static_cast<size_t>(Count()));
            return AnsiToUtf8(bytes);
        case kWString:
            in_.ReadAppend(bytes, 2 * static_cast<size_t>(Count()));
            return Utf16ToUtf8(bytes);
        default:
            Fail(kInvalidPropertyValue);
    }
}

void ProjectReader::Run(ListBounds* bounds) {
    char signature[4];
    if (in_.ReadUpTo(signature, 4) != 4 || std::string_view(signature, 4) != kSignature) {
        Fail(kInvalidStreamFormat);
    }
    ShortString();  // class name
    ShortString();  // object name
    ReadProperties(kObjectName, kListViewProperties, 0);
    if (in_.Byte() != 0) {
        Fail(kInvalidStreamFormat);  // a project has no child objects
    }
    if (!sawItems_) {
        list_.Clear();  // a project saved without recipients
    }
    if (bounds) {
        *bounds = bounds_;
    }
}

// Property entries up to the 0 byte that ends them. An error inside a value
// names the object and the property.
void ProjectReader::ReadProperties(std::string_view object, std::span<const Property> table,
                                   size_t column) {
    for (;;) {
        const std::string name = ShortString();
        if (name.empty()) {
            return;
        }
        try {
            ReadValue(Resolve(table, name), column);
        } catch (const EReadError& error) {
            if (error.Framed()) {
                throw;
            }
            throw Framed(object, name, error.what());
        }
    }
}

void ProjectReader::ReadValue(const Property& property, size_t column) {
    switch (property.kind) {
        case Kind::Integer:
            ApplyInteger(property.target, Integer(), column);
            return;
        case Kind::Boolean: {
            const uint8_t tag = in_.Byte();
            if (tag != kFalse && tag != kTrue) {
                Fail(kInvalidPropertyValue);
            }
            return;
        }
        case Kind::Enum: {
            Expect(kIdent);
            const std::string word = ShortString();
            if (std::none_of(property.words.begin(), property.words.end(),
                             [&](std::string_view w) { return SameText(w, word); })) {
                Fail(kInvalidPropertyValue);
            }
            return;
        }
        case Kind::Set:
            Expect(kSet);
            for (std::string element = ShortString(); !element.empty(); element = ShortString()) {
                if (std::none_of(property.words.begin(), property.words.end(),
                                 [&](std::string_view w) { return SameText(w, element); })) {
                    Fail(kInvalidPropertyValue);
                }
            }
            return;
        case Kind::Reference: {
            // Another component of the window, by name; nothing to resolve here.
            const uint8_t tag = in_.Byte();
            if (tag == kIdent) {
                ShortString();
            } else if (tag != kNil) {
                Fail(kInvalidPropertyValue);
            }
            return;
        }
        case Kind::Collection:
            Expect(kCollection);
            ReadColumns();
            return;
        case Kind::Object:
            Fail(kInvalidPropertyValue);
        case Kind::Binary:
            Expect(kBinary);
            ReadItems();
            return;
        case Kind::String:
            list_.SetColumnCaption(column, String());
            return;
        case Kind::WidthList: {
            Expect(kList);
            const int32_t width = Integer();
            Expect(kNull);
            ApplyInteger(property.target, width, column);
            return;
        }
    }
}

void ProjectReader::ApplyInteger(Target target, int32_t value, size_t column) {
    switch (target) {
        case Target::Left:
            bounds_.left = value;
            break;
        case Target::Top:
            bounds_.top = value;
            break;
        case Target::Width:
            bounds_.width = value;
            break;
        case Target::Height:
            bounds_.height = value;
            break;
        case Target::ColumnWidth:
            list_.SetColumnWidth(column, value);
            break;
        case Target::None:
        case Target::ColumnCaption:
            break;
    }
}

// The columns replace the list's only when the file has at least one; each
// column exists (with width 50 and no caption) before its entries are read.
void ProjectReader::ReadColumns() {
    bool replaced = false;
    for (;;) {
        uint8_t tag = in_.Byte();
        if (tag == kNull) {
            return;
        }
        if (tag == kInt8 || tag == kInt16 || tag == kInt32) {
            IntegerPayload(tag);  // an item's index may precede it
            tag = in_.Byte();
        }
        if (tag != kList) {
            Fail(kInvalidPropertyValue);
        }
        if (!replaced) {
            list_.SetColumns({});
            replaced = true;
        }
        const size_t column = list_.AddColumn("", kDefaultColumnWidth);
        ReadProperties(kColumnClassName, kColumnProperties, column);
    }
}

// The items block is read only within the binary value that carries it, and
// each record only within the block's stated size.
void ProjectReader::ReadItems() {
    const int32_t length = Count();
    if (length < 4) {
        StreamInput::Fail();
    }
    const int32_t size = in_.Int32();
    if (size > length) {
        StreamInput::Fail();
    }
    if (size < static_cast<int32_t>(kBlockHeaderSize)) {
        Fail(kInvalidStreamFormat);
    }
    const int32_t count = in_.Int32();
    if (count < 0 || static_cast<uint64_t>(count) > (size - kBlockHeaderSize) / kItemHeaderSize) {
        Fail(kInvalidStreamFormat);
    }
    sawItems_ = true;
    list_.Clear();
    // The count is only a claim: room is made for no more records than the
    // bytes left could hold (or a modest number when that is unknown).
    const uint64_t left = in_.RemainingHint();
    const uint64_t room = left == UINT64_MAX ? 65536 : left / kItemHeaderSize;
    list_.Reserve(static_cast<size_t>(std::min<uint64_t>(static_cast<uint64_t>(count), room)));
    uint64_t blockLeft = static_cast<uint64_t>(size) - kBlockHeaderSize;
    for (int32_t i = 0; i < count; ++i) {
        ReadItem(blockLeft);
    }
    in_.Skip(static_cast<uint64_t>(length) - (static_cast<uint64_t>(size) - blockLeft));
}

void ProjectReader::ReadItem(uint64_t& blockLeft) {
    const auto take = [&](uint64_t n) {
        if (n > blockLeft) {
            Fail(kInvalidStreamFormat);
        }
        blockLeft -= n;
    };
    take(kItemHeaderSize - 1);
    const int32_t image = in_.Int32();
    const int32_t state = in_.Int32();
    const int32_t overlay = in_.Int32();
    const int32_t subItems = in_.Int32();
    in_.Int32();  // the data word: meaningless once written
    if (subItems < 0 || static_cast<uint64_t>(subItems) >= blockLeft) {
        Fail(kInvalidStreamFormat);
    }
    record_.clear();
    ends_.clear();
    for (int32_t i = 0; i <= subItems; ++i) {
        take(1);
        const uint8_t length = in_.Byte();
        take(length);
        in_.ReadAppend(record_, length);
        ends_.push_back(record_.size());
    }
    // Views of the texts, converted to UTF-8 where they are not plain ASCII.
    converted_.resize(std::max(converted_.size(), ends_.size()));
    texts_.clear();
    size_t start = 0;
    for (size_t i = 0; i < ends_.size(); ++i) {
        const std::string_view bytes(record_.data() + start, ends_[i] - start);
        start = ends_[i];
        if (IsAscii(bytes)) {
            texts_.push_back(bytes);
        } else {
            converted_[i] = CodePage::Ansi().ToUtf8(bytes);
            texts_.push_back(converted_[i]);
        }
    }
    list_.AppendRow(texts_[0], std::span(texts_).subspan(1), image, state, overlay);
}

}  // namespace

void ReadProject(RecipientList& list, ByteSource& source, ListBounds* bounds) {
    // One notice for the whole read; logs never survive it.
    list.BeginUpdate();
    try {
        ProjectReader(list, source).Run(bounds);
    } catch (...) {
        list.ClearTranscripts();
        list.EndUpdate();
        throw;
    }
    list.ClearTranscripts();
    list.EndUpdate();
}

void ReadProject(RecipientList& list, std::string_view bytes, ListBounds* bounds) {
    MemorySource source(bytes);
    ReadProject(list, source, bounds);
}

void LoadProjectFile(RecipientList& list, const std::filesystem::path& path, ListBounds* bounds) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat info {};
    if (fd < 0 || ::fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
        const int error = fd < 0 ? errno : EISDIR;
        if (fd >= 0) {
            ::close(fd);
        }
        list.ClearTranscripts();
        throw EFOpenError(path, error);
    }
    FileSource source(fd);
    try {
        ReadProject(list, source, bounds);
    } catch (...) {
        ::close(fd);
        throw;
    }
    ::close(fd);
}

}  // namespace mv
