// Reading a whole file in blocks, for readers that take text as it comes.
#pragma once

#include <cstdint>
#include <functional>
#include <string_view>

namespace mv {

// Calls `take` with each block of the open file `fd`, from where it stands,
// until its end or until `limit` bytes have been handed over. False with
// errno set when reading fails.
bool ReadBlocks(int fd, const std::function<void(std::string_view)>& take,
                uint64_t limit = UINT64_MAX);

}  // namespace mv
