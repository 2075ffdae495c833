// For targets whose reader takes a path: each input is written to one file of
// the process, which the reader then opens. The file lives in memory
// (/dev/shm) where there is such a folder: written to a disk, every input
// would cost milliseconds.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>

namespace fuzz {

class InputFile {
  public:
    InputFile() {
        const char* dir = std::getenv("TMPDIR");
        for (const std::string& folder :
             {std::string("/dev/shm"), std::string(dir != nullptr && *dir ? dir : "/tmp")}) {
            path_ = folder + "/mv-fuzz-XXXXXX";
            fd_ = mkstemp(path_.data());
            if (fd_ >= 0) return;
        }
        std::abort();
    }
    ~InputFile() {
        close(fd_);
        unlink(path_.c_str());
    }
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    // Replaces the file's contents with the input.
    const std::string& Write(const uint8_t* data, size_t size) {
        if (ftruncate(fd_, 0) != 0 || pwrite(fd_, data, size, 0) != static_cast<ssize_t>(size))
            std::abort();
        return path_;
    }

  private:
    std::string path_;
    int fd_ = -1;
};

}  // namespace fuzz
