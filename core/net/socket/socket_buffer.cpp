#include "net/socket/socket_buffer.h"

#include <algorithm>
#include <cstring>

namespace mv {

_TBuffer::_TBuffer(int32_t size) {
    SetSize(size);
}

void _TBuffer::SetSize(int32_t size) {
    if (size <= 0) size = kDefaultSize;
    if (size == size_) return;
    auto fresh = std::make_unique<uint8_t[]>(static_cast<size_t>(size));
    const int32_t keep = std::min(written_, size);
    if (keep > 0) std::memcpy(fresh.get(), data_.get(), static_cast<size_t>(keep));
    data_ = std::move(fresh);
    size_ = size;
    written_ = keep;
    read_ = std::min(read_, written_);
}

int32_t _TBuffer::Write(const void* data, int32_t len) {
    const int32_t n = std::min(std::max(len, 0), Room());
    if (n > 0) std::memcpy(data_.get() + written_, data, static_cast<size_t>(n));
    written_ += n;
    return n;
}

const uint8_t* _TBuffer::Peek(int32_t& len) const {
    len = Unread();
    return len > 0 ? data_.get() + read_ : nullptr;
}

int32_t _TBuffer::Remove(int32_t len) {
    const int32_t n = std::min(std::max(len, 0), Unread());
    read_ += n;
    if (read_ == written_) read_ = written_ = 0;
    return n;
}

}  // namespace mv
