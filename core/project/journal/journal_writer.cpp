#include "project/journal/journal_writer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "project/journal/journal_file.h"

namespace mv {

namespace {

// Makes the journal's name itself survive a power cut.
void SyncFolderOf(const std::filesystem::path& path) {
    const std::filesystem::path folder = path.parent_path().empty() ? "." : path.parent_path();
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

}  // namespace

JournalWriter::JournalWriter(MessageLoop& loop, std::filesystem::path path, uint64_t keepBytes)
    : loop_(loop), path_(std::move(path)), keepBytes_(keepBytes) {}

JournalWriter::~JournalWriter() {
    Sync();
    if (fd_ >= 0) ::close(fd_);
}

bool JournalWriter::Open() {
    if (keepBytes_ > 0) {
        fd_ = ::open(path_.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
        struct stat st {};
        // A journal that is not as it was read is not continued: it is started anew.
        if (fd_ >= 0 && ::fstat(fd_, &st) == 0 && static_cast<uint64_t>(st.st_size) >= keepBytes_) {
            if (::ftruncate(fd_, static_cast<off_t>(keepBytes_)) != 0) {
                Fail("cut its damaged end", errno);
                return false;
            }
            return true;
        }
        if (fd_ >= 0) ::close(fd_);
    }
    fd_ = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_APPEND | O_CLOEXEC, 0666);
    if (fd_ < 0) {
        Fail("create", errno);
        return false;
    }
    std::string header(kFindingsHeader);
    header += '\n';
    if (!WriteAll(header)) return false;
    SyncFolderOf(path_);
    return true;
}

void JournalWriter::Append(const RecipientList& list, size_t row) {
    if (std::optional<FindingRecord> record = JournalRecordOf(list, row)) Append(*record);
}

void JournalWriter::Append(const FindingRecord& record) {
    if (failed_ || (fd_ < 0 && !Open())) return;
    line_ = FormatFindingLine(record);
    line_ += '\n';
    if (!WriteAll(line_)) return;
    ++lines_;
    dirty_ = true;
    ScheduleSync();
}

// One call for the whole line, so that a killed process leaves whole lines.
bool JournalWriter::WriteAll(std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd_, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            Fail("write", n < 0 ? errno : ENOSPC);
            return false;
        }
        bytes.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

void JournalWriter::ScheduleSync() {
    if (syncTimer_ == 0) syncTimer_ = loop_.StartTimer(kSyncIntervalMs, [this] { Sync(); });
}

void JournalWriter::Sync() {
    if (syncTimer_ != 0) loop_.StopTimer(syncTimer_);
    syncTimer_ = 0;
    if (fd_ < 0 || !dirty_) return;
    dirty_ = false;
    if (::fdatasync(fd_) != 0) Fail("flush", errno);
}

void JournalWriter::Restart() {
    keepBytes_ = 0;
    if (fd_ < 0) return;
    if (::ftruncate(fd_, static_cast<off_t>(kFindingsHeader.size() + 1)) != 0) {
        Fail("empty", errno);
        return;
    }
    dirty_ = true;
    Sync();
}

void JournalWriter::Fail(const char* what, int error) {
    if (syncTimer_ != 0) loop_.StopTimer(syncTimer_);
    syncTimer_ = 0;
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    dirty_ = false;
    if (failed_) return;
    failed_ = true;
    if (OnFailed)
        OnFailed("The journal " + path_.string() + " cannot be written (" + what + ": " +
                 std::strerror(error) + "); a crash would lose the results of this run");
}

}  // namespace mv
