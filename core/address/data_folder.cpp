#include "address/data_folder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <system_error>

namespace mv {

namespace {

std::filesystem::path InstalledFolder() {
    std::error_code error;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) return "../share/mailvetter";
    return program.parent_path() / ".." / "share" / "mailvetter";
}

class OpenFile {
  public:
    explicit OpenFile(int fd) : fd_(fd) {}
    ~OpenFile() {
        if (fd_ >= 0) ::close(fd_);
    }
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;
    int Fd() const { return fd_; }

  private:
    int fd_;
};

}  // namespace

DomainListError::DomainListError(const std::filesystem::path& file, const std::string& reason)
    : Exception("Cannot read the domain list " + file.string() + ": " + reason) {}

std::filesystem::path DataFolder() {
    const std::filesystem::path installed = InstalledFolder();
    std::error_code error;
    if (std::filesystem::is_directory(installed, error)) return installed.lexically_normal();
#ifdef MV_SOURCE_DATA_DIR
    std::filesystem::path source = MV_SOURCE_DATA_DIR;
    if (std::filesystem::is_directory(source, error)) return source;
#endif
    return installed.lexically_normal();
}

std::string ReadListFile(const std::filesystem::path& file) {
    const OpenFile in(::open(file.c_str(), O_RDONLY | O_CLOEXEC));
    if (in.Fd() < 0) throw DomainListError(file, std::strerror(errno));
    struct stat info {};
    if (::fstat(in.Fd(), &info) != 0) throw DomainListError(file, std::strerror(errno));
    std::string text;
    text.reserve(static_cast<size_t>(info.st_size > 0 ? info.st_size : 0));
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(in.Fd(), buffer, sizeof buffer);
        if (n == 0) break;
        if (n < 0) {
            if (errno == EINTR) continue;
            throw DomainListError(file, std::strerror(errno));
        }
        text.append(buffer, static_cast<size_t>(n));
    }
    return text;
}

}  // namespace mv
