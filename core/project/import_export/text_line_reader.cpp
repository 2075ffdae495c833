#include "project/import_export/text_line_reader.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/text/code_page.h"
#include "project/import_export/import_export_error.h"

namespace mv {

namespace {

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LeMark = "\xFF\xFE";
constexpr std::string_view kUtf16BeMark = "\xFE\xFF";
constexpr char32_t kReplacement = 0xFFFD;

bool IsHighSurrogate(char16_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}

bool IsLowSurrogate(char16_t unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

}  // namespace

TextLineReader::TextLineReader(std::filesystem::path path, size_t blockSize)
    : path_(std::move(path)), blockSize_(std::max<size_t>(blockSize, 1)) {
    fd_ = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0) {
        throw EImportError::CannotOpen(path_, errno);
    }
}

TextLineReader::~TextLineReader() {
    ::close(fd_);
}

void TextLineReader::Rewind() {
    if (::lseek(fd_, 0, SEEK_SET) < 0) {
        throw EImportError::CannotRead(path_, errno);
    }
    begin_ = end_ = 0;
    eof_ = false;
    atStart_ = true;
    pendingLineFeed_ = false;
    mark_ = ByteOrderMark::None;
    holdsNul_ = false;
    carry_.clear();
    highSurrogate_ = 0;
}

size_t TextLineReader::ReadSome(char* into, size_t size) {
    ssize_t n = 0;
    do {
        n = ::read(fd_, into, size);
    } while (n < 0 && errno == EINTR);
    if (n < 0) {
        throw EImportError::CannotRead(path_, errno);
    }
    return static_cast<size_t>(n);
}

bool TextLineReader::Fill() {
    if (eof_) {
        return false;
    }
    // Keep the bytes not yet handed out, at the front; grow for long lines.
    if (begin_ > 0) {
        std::memmove(buffer_.data(), buffer_.data() + begin_, end_ - begin_);
        end_ -= begin_;
        begin_ = 0;
    }
    const size_t before = end_;
    while (end_ == before && !eof_) {
        // Room for what is read next (decoding UTF-16 makes its own).
        const size_t room = atStart_ ? kNulScanSize : blockSize_;
        if (buffer_.size() - end_ < room) {
            buffer_.resize(std::max(buffer_.size() * 2, end_ + room));
        }
        if (atStart_) {
            // The mark and the NUL check need the first bytes whatever the
            // block size.
            atStart_ = false;
            size_t got = 0;
            size_t n = 1;
            while (got < kNulScanSize && n > 0) {
                n = ReadSome(buffer_.data() + end_ + got, kNulScanSize - got);
                got += n;
            }
            eof_ = n == 0;
            Inspect(got);
        } else if (mark_ == ByteOrderMark::Utf16Le || mark_ == ByteOrderMark::Utf16Be) {
            raw_.resize(blockSize_);
            const size_t n = ReadSome(raw_.data(), blockSize_);
            eof_ = n == 0;
            DecodeUtf16(std::string_view(raw_.data(), n), eof_);
        } else {
            const size_t n = ReadSome(buffer_.data() + end_, blockSize_);
            eof_ = n == 0;
            end_ += n;
        }
    }
    return end_ > before;
}

void TextLineReader::Inspect(size_t size) {
    const std::string_view first(buffer_.data() + end_, size);
    if (first.starts_with(kUtf16LeMark) || first.starts_with(kUtf16BeMark)) {
        mark_ = first.starts_with(kUtf16LeMark) ? ByteOrderMark::Utf16Le : ByteOrderMark::Utf16Be;
        raw_.assign(first.substr(kUtf16LeMark.size()));
        DecodeUtf16(raw_, eof_);
        return;
    }
    holdsNul_ = first.find('\0') != std::string_view::npos;
    if (first.starts_with(kUtf8Mark)) {
        mark_ = ByteOrderMark::Utf8;
        begin_ = end_ + kUtf8Mark.size();
    }
    end_ += size;
}

void TextLineReader::DecodeUtf16(std::string_view raw, bool last) {
    std::string out;
    out.reserve((raw.size() + 2) / 2 * 3 + 6);
    const bool little = mark_ == ByteOrderMark::Utf16Le;
    const auto put = [&](char16_t unit) {
        if (highSurrogate_ != 0 && IsLowSurrogate(unit)) {
            AppendUtf8(out, 0x10000 + ((char32_t{highSurrogate_} - 0xD800) << 10) +
                                (char32_t{unit} - 0xDC00));
            highSurrogate_ = 0;
            return;
        }
        if (highSurrogate_ != 0) {
            AppendUtf8(out, kReplacement);
            highSurrogate_ = 0;
        }
        if (IsHighSurrogate(unit)) {
            highSurrogate_ = unit;
        } else {
            AppendUtf8(out, IsLowSurrogate(unit) ? kReplacement : char32_t{unit});
        }
    };
    const auto unitOf = [little](unsigned char a, unsigned char b) {
        return static_cast<char16_t>(little ? (a | b << 8) : (a << 8 | b));
    };
    size_t i = 0;
    if (!carry_.empty() && !raw.empty()) {
        put(unitOf(static_cast<unsigned char>(carry_[0]), static_cast<unsigned char>(raw[0])));
        carry_.clear();
        i = 1;
    }
    for (; i + 1 < raw.size(); i += 2) {
        put(unitOf(static_cast<unsigned char>(raw[i]), static_cast<unsigned char>(raw[i + 1])));
    }
    if (i < raw.size()) {
        carry_.assign(1, raw[i]);
    }
    if (last && (highSurrogate_ != 0 || !carry_.empty())) {
        AppendUtf8(out, kReplacement);
        highSurrogate_ = 0;
        carry_.clear();
    }
    if (buffer_.size() - end_ < out.size()) {
        buffer_.resize(end_ + out.size());
    }
    std::memcpy(buffer_.data() + end_, out.data(), out.size());
    end_ += out.size();
}

void TextLineReader::SkipPendingLineFeed() {
    if (!pendingLineFeed_) {
        return;
    }
    if (begin_ == end_ && !Fill()) {
        return;
    }
    pendingLineFeed_ = false;
    if (buffer_[begin_] == '\n') {
        ++begin_;
    }
}

bool TextLineReader::AtEnd() {
    SkipPendingLineFeed();
    return begin_ == end_ && !Fill();
}

bool TextLineReader::ReadLine(std::string_view& line) {
    if (AtEnd()) {
        return false;
    }
    size_t scanned = begin_;
    for (;;) {
        const char* data = buffer_.data();
        for (size_t i = scanned; i < end_; ++i) {
            if (data[i] == '\n' || data[i] == '\r') {
                line = std::string_view(data + begin_, i - begin_);
                pendingLineFeed_ = data[i] == '\r';
                begin_ = i + 1;
                return true;
            }
        }
        const size_t offset = end_ - begin_;  // Fill moves the bytes to the front
        if (!Fill()) {
            line = std::string_view(buffer_.data() + begin_, end_ - begin_);
            begin_ = end_;
            return true;
        }
        scanned = begin_ + offset;
    }
}

}  // namespace mv
