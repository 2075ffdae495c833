#include "platform/file/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <random>

namespace mv {

namespace {

constexpr size_t kBufferSize = size_t{256} * 1024;

// A save through a link replaces the file it points to, not the link.
std::filesystem::path ResolveLinks(std::filesystem::path path) {
    for (int hops = 0; hops < 40; ++hops) {
        std::error_code ec;
        if (!std::filesystem::is_symlink(path, ec)) {
            return path;
        }
        std::filesystem::path target = std::filesystem::read_symlink(path, ec);
        if (ec) {
            return path;
        }
        path = target.is_absolute() ? target : path.parent_path() / target;
    }
    return path;
}

std::string RandomSuffix() {
    static const char kChars[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::random_device device;
    std::string suffix;
    for (int i = 0; i < 8; ++i) {
        suffix += kChars[device() % (sizeof kChars - 1)];
    }
    return suffix;
}

// Creates ".<name>.<random>.tmp" beside `target`, readable and writable as a
// newly created file would be (the umask applies), or with the mode of the
// file it replaces.
int CreateTemporary(const std::filesystem::path& target, std::filesystem::path& temporary) {
    const std::filesystem::path folder =
        target.has_parent_path() ? target.parent_path() : std::filesystem::path(".");
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporary = folder / ("." + target.filename().string() + "." + RandomSuffix() + ".tmp");
        const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            struct stat old {};
            if (::stat(target.c_str(), &old) == 0 && S_ISREG(old.st_mode)) {
                (void)::fchmod(fd, old.st_mode & 07777);
            }
            return fd;
        }
        if (errno != EEXIST) {
            return -1;
        }
    }
    return -1;
}

// Makes the rename itself durable. Some file systems cannot flush a folder;
// the new file is complete either way, so that is not an error.
void SyncFolder(const std::filesystem::path& target) {
    const std::filesystem::path folder =
        target.has_parent_path() ? target.parent_path() : std::filesystem::path(".");
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        return;
    }
    (void)::fsync(fd);
    ::close(fd);
}

}  // namespace

EFCreateError::EFCreateError(const std::filesystem::path& path, int systemError)
    : EFileError("Cannot create file " + path.string(), systemError) {}

EFOpenError::EFOpenError(const std::filesystem::path& path, int systemError)
    : EFileError("Cannot open file " + path.string(), systemError) {}

EWriteError::EWriteError(int systemError) : EFileError("Stream write error", systemError) {}

AtomicFile::AtomicFile(std::filesystem::path path)
    : path_(std::move(path)), target_(ResolveLinks(path_)) {
    // A rename would replace a file that the user made read-only; creating
    // it in place would not, and neither do we.
    if (::access(target_.c_str(), F_OK) == 0 && ::access(target_.c_str(), W_OK) != 0) {
        throw EFCreateError(path_, errno);
    }
    fd_ = CreateTemporary(target_, temporary_);
    if (fd_ < 0) {
        throw EFCreateError(path_, errno);
    }
    buffer_.reserve(kBufferSize);
}

AtomicFile::~AtomicFile() {
    Discard();
}

void AtomicFile::Write(const void* data, size_t size) {
    if (fd_ < 0) {
        throw EWriteError(EBADF);
    }
    const auto* bytes = static_cast<const char*>(data);
    if (buffer_.size() + size > kBufferSize) {
        Flush();
    }
    if (size >= kBufferSize) {
        WriteOut(bytes, size);  // large pieces go straight through
        return;
    }
    buffer_.insert(buffer_.end(), bytes, bytes + size);
}

void AtomicFile::Flush() {
    WriteOut(buffer_.data(), buffer_.size());
    buffer_.clear();
}

void AtomicFile::WriteOut(const char* bytes, size_t size) {
    size_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(fd_, bytes + done, size - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            const int error = n < 0 ? errno : EIO;
            Discard();
            throw EWriteError(error);
        }
        done += static_cast<size_t>(n);
    }
}

void AtomicFile::Commit() {
    if (fd_ < 0) {
        throw EWriteError(EBADF);
    }
    Flush();
    if (::fsync(fd_) != 0) {
        const int error = errno;
        Discard();
        throw EWriteError(error);
    }
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) {
        const int error = errno;
        ::unlink(temporary_.c_str());
        throw EWriteError(error);
    }
    if (::rename(temporary_.c_str(), target_.c_str()) != 0) {
        const int error = errno;
        ::unlink(temporary_.c_str());
        throw EFCreateError(path_, error);
    }
    SyncFolder(target_);
}

void AtomicFile::Discard() noexcept {
    if (fd_ < 0) {
        return;
    }
    ::close(fd_);
    fd_ = -1;
    ::unlink(temporary_.c_str());
    buffer_.clear();
}

void WriteFileAtomically(const std::filesystem::path& path,
                         const std::function<void(ByteSink&)>& produce) {
    AtomicFile file(path);
    produce(file);
    file.Commit();
}

}  // namespace mv
