// One chunk of queued outgoing socket data.
#pragma once

#include <cstdint>
#include <memory>

namespace mv {

class _TBuffer {
  public:
    static constexpr int32_t kDefaultSize = 1514;

    // A size of 0 or less gives the default chunk size.
    explicit _TBuffer(int32_t size = kDefaultSize);

    // Copies as many of the `len` bytes as fit; returns the count copied.
    int32_t Write(const void* data, int32_t len);
    // The unread bytes, or nullptr when there are none.
    const uint8_t* Peek(int32_t& len) const;
    // Advances the read position by at most the unread count; returns the
    // count removed. An emptied chunk starts again from its beginning.
    int32_t Remove(int32_t len);
    void SetSize(int32_t size);

    int32_t Size() const { return size_; }
    int32_t Unread() const { return written_ - read_; }
    int32_t Room() const { return size_ - written_; }

  private:
    std::unique_ptr<uint8_t[]> data_;
    int32_t size_ = 0;
    int32_t written_ = 0;
    int32_t read_ = 0;
};

}  // namespace mv
