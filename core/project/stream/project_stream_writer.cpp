// Writes the recipient list as the object stream of "ListView1".
#include <cerrno>
#include <cstdint>
#include <limits>
#include <vector>

#include "platform/text/code_page.h"
#include "project/stream/project_stream.h"
#include "project/stream/project_stream_format.h"

namespace mv {

namespace {

using namespace project_stream;

// The ANSI bytes of a UTF-8 text; plain ASCII passes through unconverted.
std::string_view ToAnsi(std::string_view utf8, std::string& scratch) {
    for (unsigned char c : utf8) {
        if (c >= 0x80) {
            scratch = CodePage::Ansi().FromUtf8(utf8);
            return scratch;
        }
    }
    return utf8;
}

// An item text as stored: ANSI, cut to its first 255 bytes.
std::string_view ItemText(std::string_view utf8, std::string& scratch) {
    const std::string_view ansi = ToAnsi(utf8, scratch);
    return ansi.substr(0, std::min(ansi.size(), kMaxItemText));
}

// Buffers the stream and hands it to the sink in large pieces.
class StreamWriter {
  public:
    explicit StreamWriter(ByteSink& sink) : sink_(sink) { buffer_.reserve(kBufferSize); }

    void Bytes(const void* data, size_t size) {
        if (buffer_.size() + size > kBufferSize) {
            Flush();
        }
        const auto* bytes = static_cast<const char*>(data);
        buffer_.insert(buffer_.end(), bytes, bytes + size);
    }
    void Bytes(std::string_view bytes) { Bytes(bytes.data(), bytes.size()); }
    void Byte(uint8_t value) { Bytes(&value, 1); }
    void Int32(int32_t value) {
        const auto u = static_cast<uint32_t>(value);
        const char bytes[4] = {static_cast<char>(u), static_cast<char>(u >> 8),
                               static_cast<char>(u >> 16), static_cast<char>(u >> 24)};
        Bytes(bytes, 4);
    }
    // A length byte and the bytes; `bytes` holds at most 255 of them.
    void ShortString(std::string_view bytes) {
        Byte(static_cast<uint8_t>(bytes.size()));
        Bytes(bytes);
    }

    // Integer value in the smallest width that holds it.
    void Integer(int32_t value) {
        if (value >= INT8_MIN && value <= INT8_MAX) {
            Byte(kInt8);
            Byte(static_cast<uint8_t>(value));
        } else if (value >= INT16_MIN && value <= INT16_MAX) {
            Byte(kInt16);
            Byte(static_cast<uint8_t>(value));
            Byte(static_cast<uint8_t>(value >> 8));
        } else {
            Byte(kInt32);
            Int32(value);
        }
    }
    // String value: a short string up to 255 bytes, a long string beyond.
    void String(std::string_view utf8) {
        std::string scratch;
        const std::string_view ansi = ToAnsi(utf8, scratch);
        if (ansi.size() <= kMaxItemText) {
            Byte(kString);
            ShortString(ansi);
        } else {
            Byte(kLString);
            Int32(static_cast<int32_t>(ansi.size()));
            Bytes(ansi);
        }
    }
    void Ident(std::string_view name) {
        Byte(kIdent);
        ShortString(name);
    }

    void Flush() {
        if (!buffer_.empty()) {
            sink_.Write(buffer_.data(), buffer_.size());
        }
        buffer_.clear();
    }

  private:
    static constexpr size_t kBufferSize = size_t{64} * 1024;
    ByteSink& sink_;
    std::vector<char> buffer_;
};

void WriteColumns(const RecipientList& list, StreamWriter& out) {
    out.ShortString("Columns");
    out.Byte(kCollection);
    for (const ListColumn& column : list.Columns()) {
        out.Byte(kList);
        if (!column.caption.empty()) {
            out.ShortString("Caption");
            out.String(column.caption);
        }
        if (column.width < 0) {
            // An automatic width travels as a list with one integer.
            out.ShortString("WidthType");
            out.Byte(kList);
            out.Integer(column.width);
            out.Byte(kNull);
        } else if (column.width != kDefaultColumnWidth) {
            out.ShortString("Width");
            out.Integer(column.width);
        }
        out.Byte(kNull);
    }
    out.Byte(kNull);
}

uint64_t ItemsBlockSize(const RecipientList& list) {
    std::vector<std::string_view> texts;
    std::string scratch;
    uint64_t size = kBlockHeaderSize;
    for (size_t row = 0; row < list.RowCount(); ++row) {
        list.Texts(row, texts);
        size += kItemHeaderSize - 1;
        for (std::string_view text : texts) {
            size += 1 + ItemText(text, scratch).size();
        }
    }
    return size;
}

// The items block: its size, the number of items, then one record per row.
void WriteItems(const RecipientList& list, StreamWriter& out) {
    const uint64_t size = ItemsBlockSize(list);
    if (size > static_cast<uint64_t>(std::numeric_limits<int32_t>::max())) {
        throw EWriteError(EFBIG);
    }
    out.ShortString("Items.Data");
    out.Byte(kBinary);
    out.Int32(static_cast<int32_t>(size));
    out.Int32(static_cast<int32_t>(size));
    out.Int32(static_cast<int32_t>(list.RowCount()));
    std::vector<std::string_view> texts;
    std::string scratch;
    for (size_t row = 0; row < list.RowCount(); ++row) {
        list.Texts(row, texts);
        out.Int32(list.ImageIndex(row));
        out.Int32(list.StateIndex(row));
        out.Int32(list.OverlayIndex(row));
        out.Int32(static_cast<int32_t>(texts.size() - 1));
        out.Int32(0);  // the data word: nothing of ours to keep in it
        for (std::string_view text : texts) {
            out.ShortString(ItemText(text, scratch));
        }
    }
}

void WriteInteger(StreamWriter& out, std::string_view name, int32_t value) {
    out.ShortString(name);
    out.Integer(value);
}

void WriteFlag(StreamWriter& out, std::string_view name, bool value) {
    out.ShortString(name);
    out.Byte(value ? kTrue : kFalse);
}

void WriteIdent(StreamWriter& out, std::string_view name, std::string_view value) {
    out.ShortString(name);
    out.Ident(value);
}

}  // namespace

void WriteProject(const RecipientList& list, ByteSink& sink, const ListBounds& bounds) {
    StreamWriter out(sink);
    out.Bytes(kSignature);
    out.ShortString(kClassName);
    out.ShortString(kObjectName);
    WriteInteger(out, "Left", bounds.left);
    WriteInteger(out, "Top", bounds.top);
    WriteInteger(out, "Width", bounds.width);
    WriteInteger(out, "Height", bounds.height);
    WriteIdent(out, "Align", "alClient");
    WriteInteger(out, "AllocBy", kAllocBy);
    WriteColumns(list, out);
    WriteFlag(out, "ColumnClick", false);
    WriteFlag(out, "HideSelection", false);
    out.ShortString("HotTrackStyles");
    out.Byte(kSet);
    out.Byte(0);  // the empty set
    if (!list.Empty()) {
        WriteItems(list, out);
    }
    WriteFlag(out, "ReadOnly", true);
    WriteFlag(out, "RowSelect", true);
    WriteIdent(out, "PopupMenu", "MainForm.PopupMenu1");
    WriteIdent(out, "SmallImages", "MainForm.ImageList1");
    WriteIdent(out, "StateImages", "MainForm.ImageList3");
    WriteInteger(out, "TabOrder", kTabOrder);
    WriteIdent(out, "ViewStyle", "vsReport");
    out.Byte(0);  // end of the properties
    out.Byte(0);  // end of the (empty) child list
    out.Flush();
}

void SaveProjectFile(const RecipientList& list, const std::filesystem::path& path,
                     const ListBounds& bounds) {
    WriteFileAtomically(path, [&](ByteSink& sink) { WriteProject(list, sink, bounds); });
}

}  // namespace mv
