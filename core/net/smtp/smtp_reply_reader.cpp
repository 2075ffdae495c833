#include "net/smtp/smtp_reply_reader.h"

#include <algorithm>
#include <cstring>

namespace mv {

size_t SmtpReplyReader::Append(const char* data, size_t len) {
    const size_t n = std::min(len, Room());
    if (n > 0) std::memcpy(buffer_ + count_, data, n);
    count_ += n;
    return n;
}

bool SmtpReplyReader::NextLine(std::string& line) {
    for (size_t i = 0; i + 1 < count_; ++i) {
        if (buffer_[i] != '\r' || buffer_[i + 1] != '\n') continue;
        line.assign(buffer_, i);
        const size_t rest = count_ - (i + 2);
        std::memmove(buffer_, buffer_ + i + 2, rest);
        count_ = rest;
        return true;
    }
    return false;
}

bool SmtpReplyReader::Stuck() const {
    if (count_ < kBufferSize) return false;
    for (size_t i = 0; i + 1 < count_; ++i)
        if (buffer_[i] == '\r' && buffer_[i + 1] == '\n') return false;
    return true;
}

SmtpStatus ParseSmtpStatus(std::string_view line) {
    size_t i = 0;
    while (i < line.size() &&
           (line[i] == '\t' || line[i] == '\n' || line[i] == '\r' || line[i] == ' '))
        ++i;
    bool negative = false;
    if (i < line.size() && (line[i] == '+' || line[i] == '-')) {
        negative = line[i] == '-';
        ++i;
    }
    long value = 0;
    size_t digits = 0;
    while (i < line.size() && line[i] >= '0' && line[i] <= '9') {
        if (value < 100000) value = value * 10 + (line[i] - '0');  // no overflow
        ++digits;
        ++i;
    }
    SmtpStatus status;
    status.code = static_cast<int>(negative ? -value : value);
    status.continuation = i < line.size() && line[i] == '-';
    status.wellFormed = digits > 0 && status.code >= 1 && status.code <= 999;
    return status;
}

}  // namespace mv
