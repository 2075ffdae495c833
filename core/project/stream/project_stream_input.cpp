#include "project/stream/project_stream_input.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/text/code_page.h"
#include "project/stream/project_stream_format.h"

namespace mv::project_stream {

namespace {
constexpr size_t kBufferSize = size_t{256} * 1024;
constexpr size_t kChunk = size_t{64} * 1024;
}  // namespace

StreamInput::StreamInput(ByteSource& source)
    : source_(source),
      buffer_(static_cast<size_t>(
          std::clamp<uint64_t>(source.Remaining().value_or(kBufferSize), 1, kBufferSize))) {}

uint64_t StreamInput::RemainingHint() const {
    const std::optional<uint64_t> left = source_.Remaining();
    return left ? *left + (end_ - pos_) : UINT64_MAX;
}

void StreamInput::Fail() {
    throw EReadError(std::string(kStreamReadError));
}

bool StreamInput::Fill() {
    pos_ = 0;
    end_ = source_.ReadSome(buffer_.data(), buffer_.size());
    return end_ > 0;
}

size_t StreamInput::ReadUpTo(void* data, size_t size) {
    auto* out = static_cast<char*>(data);
    size_t done = 0;
    while (done < size) {
        if (pos_ == end_ && !Fill()) {
            break;
        }
        const size_t n = std::min(size - done, end_ - pos_);
        std::memcpy(out + done, buffer_.data() + pos_, n);
        pos_ += n;
        done += n;
    }
    consumed_ += done;
    return done;
}

void StreamInput::Read(void* data, size_t size) {
    if (ReadUpTo(data, size) != size) {
        Fail();
    }
}

void StreamInput::ReadAppend(std::string& out, size_t size) {
    while (size > 0) {
        const size_t n = std::min(size, kChunk);
        const size_t old = out.size();
        out.resize(old + n);
        Read(out.data() + old, n);
        size -= n;
    }
}

void StreamInput::Skip(uint64_t size) {
    char scratch[4096];
    while (size > 0) {
        const size_t n = static_cast<size_t>(std::min<uint64_t>(size, sizeof scratch));
        Read(scratch, n);
        size -= n;
    }
}

int32_t StreamInput::Int32() {
    unsigned char b[4];
    Read(b, 4);
    return static_cast<int32_t>(b[0] | (b[1] << 8) | (b[2] << 16) |
                                (static_cast<uint32_t>(b[3]) << 24));
}

int16_t StreamInput::Int16() {
    unsigned char b[2];
    Read(b, 2);
    return static_cast<int16_t>(b[0] | (b[1] << 8));
}

size_t MemorySource::ReadSome(void* data, size_t size) {
    const size_t n = std::min(size, bytes_.size());
    if (n > 0) {
        std::memcpy(data, bytes_.data(), n);
    }
    bytes_.remove_prefix(n);
    return n;
}

std::optional<uint64_t> FileSource::Remaining() const {
    struct stat info {};
    const off_t position = ::lseek(fd_, 0, SEEK_CUR);
    if (::fstat(fd_, &info) != 0 || !S_ISREG(info.st_mode) || position < 0 ||
        position > info.st_size) {
        return std::nullopt;
    }
    return static_cast<uint64_t>(info.st_size - position);
}

size_t FileSource::ReadSome(void* data, size_t size) {
    for (;;) {
        const ssize_t n = ::read(fd_, data, size);
        if (n >= 0) {
            return static_cast<size_t>(n);
        }
        if (errno != EINTR) {
            StreamInput::Fail();
        }
    }
}

bool IsAscii(std::string_view bytes) {
    return std::all_of(bytes.begin(), bytes.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

std::string AnsiToUtf8(std::string_view ansi) {
    return IsAscii(ansi) ? std::string(ansi) : CodePage::Ansi().ToUtf8(ansi);
}

// UTF-16LE code units -> UTF-8; a lone surrogate becomes U+FFFD.
std::string Utf16ToUtf8(std::string_view bytes) {
    std::string out;
    const auto unit = [&](size_t i) {
        return static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                     (static_cast<unsigned char>(bytes[2 * i + 1]) << 8));
    };
    const size_t count = bytes.size() / 2;
    for (size_t i = 0; i < count; ++i) {
        char32_t cp = unit(i);
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < count && unit(i + 1) >= 0xDC00 &&
            unit(i + 1) <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (unit(i + 1) - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = 0xFFFD;
        }
        AppendUtf8(out, cp);
    }
    return out;
}

}  // namespace mv::project_stream
