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

constexpr size_t kSuffixLength = 8;
constexpr char kSuffixChars[] = "abcdefghijklmnopqrstuvwxyz0123456789";

std::string RandomSuffix() {
    std::random_device device;
    std::string suffix;
    for (size_t i = 0; i < kSuffixLength; ++i) {
        suffix += kSuffixChars[device() % (sizeof kSuffixChars - 1)];
    }
    return suffix;
}

std::filesystem::path FolderOf(const std::filesystem::path& target) {
    return target.has_parent_path() ? target.parent_path() : std::filesystem::path(".");
}

// ".<name>.<8 random lower-case letters or digits>.tmp" beside `target`.
std::filesystem::path TemporaryNameFor(const std::filesystem::path& target) {
    return FolderOf(target) / ("." + target.filename().string() + "." + RandomSuffix() + ".tmp");
}

bool IsTemporaryNameOf(const std::string& name, const std::filesystem::path& target) {
    const std::string prefix = "." + target.filename().string() + ".";
    const std::string_view suffix = ".tmp";
    if (name.size() != prefix.size() + kSuffixLength + suffix.size() ||
        name.compare(0, prefix.size(), prefix) != 0 ||
        name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0) {
        return false;
    }
    const std::string_view random = std::string_view(name).substr(prefix.size(), kSuffixLength);
    return random.find_first_not_of(kSuffixChars) == std::string_view::npos;
}

// The new file takes the mode of the file it replaces.
void TakeMode(int fd, const std::filesystem::path& target) {
    struct stat old {};
    if (::stat(target.c_str(), &old) == 0 && S_ISREG(old.st_mode)) {
        (void)::fchmod(fd, old.st_mode & 07777);
    }
}

// True when `fd` is still the file that `path` names.
bool StillNamed(int fd, const std::filesystem::path& path) {
    struct stat byName {};
    struct stat byFd {};
    return ::lstat(path.c_str(), &byName) == 0 && ::fstat(fd, &byFd) == 0 &&
           byName.st_dev == byFd.st_dev && byName.st_ino == byFd.st_ino;
}

// Every save holds a lock on its temporary file for as long as the file
// has a temporary name, so a temporary file of ours that nobody holds was
// left by a save that was killed. The lock is an open-file-description
// record lock, which the flock() locks of the dBase engine (writing into a
// temporary file by its name) do not meet.
bool LockWhole(int fd, short type) {
    struct flock lock {};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    return ::fcntl(fd, F_OFD_SETLK, &lock) == 0;
}

// Removes the temporary files of `target` that no save holds.
void RemoveLeftovers(const std::filesystem::path& target) {
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(FolderOf(target), ec)) {
        if (!IsTemporaryNameOf(entry.path().filename().string(), target)) {
            continue;
        }
        const int fd = ::open(entry.path().c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0) {
            continue;
        }
        if (LockWhole(fd, F_RDLCK) && StillNamed(fd, entry.path())) {
            ::unlink(entry.path().c_str());
        }
        ::close(fd);
    }
}

// Creates and locks a named temporary file beside `target`; -1 on failure.
int CreateNamedTemporary(const std::filesystem::path& target, std::filesystem::path& temporary) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporary = TemporaryNameFor(target);
        const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) {
            return -1;
        }
        if (fd < 0) {
            continue;
        }
        // Another save's cleaning may have taken the name before the lock.
        if (LockWhole(fd, F_WRLCK) && StillNamed(fd, temporary)) {
            TakeMode(fd, target);
            return fd;
        }
        ::close(fd);
    }
    errno = EEXIST;
    return -1;
}

// Opens an unnamed file in the folder of `target` and locks it; -1 where the
// file system (or a missing /proc, needed to name it later) does not allow.
int CreateUnnamedTemporary(const std::filesystem::path& target) {
    if (::access("/proc/self/fd", X_OK) != 0) {
        return -1;
    }
    const int fd = ::open(FolderOf(target).c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    if (fd < 0) {
        return -1;
    }
    (void)LockWhole(fd, F_WRLCK);  // nobody else can reach it yet
    TakeMode(fd, target);
    return fd;
}

// Gives the unnamed file `fd` a temporary name beside `target`.
bool NameTemporary(int fd, const std::filesystem::path& target, std::filesystem::path& temporary) {
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporary = TemporaryNameFor(target);
        if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, temporary.c_str(), AT_SYMLINK_FOLLOW) == 0) {
            return true;
        }
        if (errno != EEXIST) {
            break;
        }
    }
    temporary.clear();
    return false;
}

// Makes the rename itself durable. Some file systems cannot flush a folder;
// the new file is complete either way, so that is not an error.
void SyncFolder(const std::filesystem::path& target) {
    const int fd = ::open(FolderOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
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

AtomicFile::AtomicFile(std::filesystem::path path, TemporaryName naming)
    : path_(std::move(path)), target_(ResolveLinks(path_)) {
    // A rename would replace a file that the user made read-only; creating
    // it in place would not, and neither do we.
    if (::access(target_.c_str(), F_OK) == 0 && ::access(target_.c_str(), W_OK) != 0) {
        throw EFCreateError(path_, errno);
    }
    RemoveLeftovers(target_);
    if (naming == TemporaryName::WhenComplete) {
        fd_ = CreateUnnamedTemporary(target_);
    }
    if (fd_ < 0) {
        fd_ = CreateNamedTemporary(target_, temporary_);
    }
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
    // Named only now that it is complete, and renamed at once.
    if (temporary_.empty() && !NameTemporary(fd_, target_, temporary_)) {
        const int error = errno;
        Discard();
        throw EFCreateError(path_, error);
    }
    if (::rename(temporary_.c_str(), target_.c_str()) != 0) {
        const int error = errno;
        Discard();
        throw EFCreateError(path_, error);
    }
    // The data reached the disk with fsync; closing now only gives up the
    // lock that kept the temporary name from being taken for a leftover.
    ::close(fd_);
    fd_ = -1;
    SyncFolder(target_);
}

void AtomicFile::Discard() noexcept {
    if (fd_ < 0) {
        return;
    }
    if (!temporary_.empty()) {
        ::unlink(temporary_.c_str());
    }
    ::close(fd_);
    fd_ = -1;
    buffer_.clear();
}

void WriteFileAtomically(const std::filesystem::path& path,
                         const std::function<void(ByteSink&)>& produce) {
    AtomicFile file(path);
    produce(file);
    file.Commit();
}

}  // namespace mv
