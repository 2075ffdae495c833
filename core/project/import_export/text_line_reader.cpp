#include "project/import_export/text_line_reader.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "project/import_export/import_export_error.h"

namespace mv {

namespace {

constexpr size_t kBlockSize = size_t{1} << 20;
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

}  // namespace

TextLineReader::TextLineReader(std::filesystem::path path) : path_(std::move(path)) {
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
    if (buffer_.size() - end_ < kBlockSize / 2) {
        buffer_.resize(std::max(kBlockSize, buffer_.size() * 2));
    }
    ssize_t n = 0;
    do {
        n = ::read(fd_, buffer_.data() + end_, buffer_.size() - end_);
    } while (n < 0 && errno == EINTR);
    if (n < 0) {
        throw EImportError::CannotRead(path_, errno);
    }
    if (n == 0) {
        eof_ = true;
        return false;
    }
    end_ += static_cast<size_t>(n);
    if (atStart_) {
        // The mark may arrive in pieces only on a pipe; a file gives it whole.
        atStart_ = false;
        byteOrderMark_ = std::string_view(buffer_.data(), end_).substr(0, 3) == kByteOrderMark;
        if (byteOrderMark_) {
            begin_ = 3;
        }
    }
    return true;
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
