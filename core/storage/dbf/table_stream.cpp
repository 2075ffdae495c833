#include "storage/dbf/table_stream.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "storage/dbf/table_error.h"

namespace mv::dbf {

namespace {

class FileStream : public TableStream {
  public:
    explicit FileStream(int fd) : fd_(fd) {}
    ~FileStream() override { ::close(fd_); }
    FileStream(const FileStream&) = delete;
    FileStream& operator=(const FileStream&) = delete;

    std::uint64_t Size() override {
        struct stat st {};
        if (::fstat(fd_, &st) != 0) {
            return Fail(), 0;
        }
        return static_cast<std::uint64_t>(st.st_size);
    }

    std::int64_t ReadAt(std::uint64_t offset, void* buffer, std::size_t count) override {
        std::size_t done = 0;
        while (done < count) {
            const ssize_t n = ::pread(fd_, static_cast<char*>(buffer) + done, count - done,
                                      static_cast<off_t>(offset + done));
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n < 0) {
                return Fail(), -1;
            }
            if (n == 0) {
                break;
            }
            done += static_cast<std::size_t>(n);
        }
        return static_cast<std::int64_t>(done);
    }

    bool WriteAt(std::uint64_t offset, const void* data, std::size_t count) override {
        std::size_t done = 0;
        while (done < count) {
            const ssize_t n = ::pwrite(fd_, static_cast<const char*>(data) + done, count - done,
                                       static_cast<off_t>(offset + done));
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n <= 0) {
                return Fail(), false;
            }
            done += static_cast<std::size_t>(n);
        }
        return true;
    }

    bool Flush() override { return ::fsync(fd_) == 0 || (Fail(), false); }
    int LastErrorNumber() const override { return error_; }

  private:
    void Fail() { error_ = FileErrorNumber(errno == 0 ? EIO : errno); }
    int fd_;
    int error_ = 0;
};

}  // namespace

std::unique_ptr<TableStream> OpenFileStream(const std::string& path, OpenMode mode,
                                            int& errorNumber) {
    const int flags = (mode == OpenMode::kReadOnly ? O_RDONLY : O_RDWR) | O_CLOEXEC;
    const int fd = ::open(path.c_str(), flags);
    if (fd < 0) {
        errorNumber = FileErrorNumber(errno);
        return nullptr;
    }
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        ::close(fd);
        errorNumber = kAccessDenied;
        return nullptr;
    }
    const int lock = mode == OpenMode::kExclusive ? LOCK_EX : LOCK_SH;
    if (::flock(fd, lock | LOCK_NB) != 0) {
        errorNumber = errno == EWOULDBLOCK ? kSharingViolation : FileErrorNumber(errno);
        ::close(fd);
        return nullptr;
    }
    return std::make_unique<FileStream>(fd);
}

std::unique_ptr<TableStream> CreateFileStream(const std::string& path, int& errorNumber) {
    // Emptied only under an exclusive lock: a table that another component or
    // program holds open is refused instead of being cut off under it.
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) {
        errorNumber = FileErrorNumber(errno);
        return nullptr;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0 || ::ftruncate(fd, 0) != 0) {
        errorNumber = errno == EWOULDBLOCK ? kSharingViolation : FileErrorNumber(errno);
        ::close(fd);
        return nullptr;
    }
    return std::make_unique<FileStream>(fd);
}

std::int64_t MemoryStream::ReadAt(std::uint64_t offset, void* buffer, std::size_t count) {
    if (offset >= bytes_.size()) {
        return 0;
    }
    const std::size_t n = std::min<std::uint64_t>(count, bytes_.size() - offset);
    std::memcpy(buffer, bytes_.data() + offset, n);
    return static_cast<std::int64_t>(n);
}

bool MemoryStream::WriteAt(std::uint64_t offset, const void* data, std::size_t count) {
    // A memory table stays far below this; the bound keeps the sum exact.
    if (readOnly_ || offset > (std::uint64_t{1} << 40)) {
        return false;
    }
    if (offset + count > bytes_.size()) {
        bytes_.resize(offset + count);
    }
    std::memcpy(bytes_.data() + offset, data, count);
    return true;
}

}  // namespace mv::dbf
