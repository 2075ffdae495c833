#include "platform/file/file_blocks.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <string>

namespace mv {

namespace {

constexpr size_t kReadBlock = size_t{64} * 1024;

}  // namespace

bool ReadBlocks(int fd, const std::function<void(std::string_view)>& take, uint64_t limit) {
    std::string block(kReadBlock, '\0');
    while (limit > 0) {
        const size_t want = static_cast<size_t>(std::min<uint64_t>(block.size(), limit));
        const ssize_t got = ::read(fd, block.data(), want);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return false;
        if (got == 0) return true;
        limit -= static_cast<uint64_t>(got);
        take(std::string_view(block.data(), static_cast<size_t>(got)));
    }
    return true;
}

}  // namespace mv
