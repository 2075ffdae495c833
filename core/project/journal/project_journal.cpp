#include "project/journal/project_journal.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace mv {

namespace {

// Whether `a` was last written no earlier than `b`.
bool NotOlder(const struct stat& a, const struct stat& b) {
    if (a.st_mtim.tv_sec != b.st_mtim.tv_sec) return a.st_mtim.tv_sec > b.st_mtim.tv_sec;
    return a.st_mtim.tv_nsec >= b.st_mtim.tv_nsec;
}

}  // namespace

ProjectJournal::~ProjectJournal() = default;

const JournalFacts& ProjectJournal::Look(const std::filesystem::path& project) {
    writer_.reset();
    path_ = JournalPathOf(project);
    facts_ = {};
    goodBytes_ = 0;
    applied_ = false;
    struct stat journal {};
    struct stat saved {};
    if (::stat(path_.c_str(), &journal) != 0) return facts_;
    if (::stat(project.c_str(), &saved) == 0 && !NotOlder(journal, saved)) return facts_;
    facts_.written = journal.st_mtim.tv_sec;
    try {
        const JournalContents contents = ScanJournal(path_, nullptr);
        facts_.results = contents.rows;
        facts_.damagedTail = contents.damagedTail;
        facts_.pending = contents.rows > 0;
        goodBytes_ = contents.goodBytes;
    } catch (const EJournalError& e) {
        facts_.problem = std::string(e.what()) + "; it is kept as it is";
    }
    return facts_;
}

size_t ProjectJournal::Apply(RecipientList& list) {
    if (!facts_.pending) return 0;
    ScanJournal(
        path_,
        [&](const FindingRecord& record) {
            if (std::string misfit = MisfitOf(list, record); !misfit.empty())
                throw EJournalError("The journal " + path_.string() +
                                    " does not belong to this project (" + misfit +
                                    "); it was not applied and is kept");
        },
        goodBytes_);
    list.BeginUpdate();
    try {
        ScanJournal(
            path_, [&](FindingRecord& record) { ApplyJournalRecord(list, record); }, goodBytes_);
    } catch (...) {
        list.EndUpdate();
        throw;
    }
    list.EndUpdate();
    applied_ = true;
    return facts_.results;
}

JournalWriter& ProjectJournal::StartWriting(MessageLoop& loop) {
    writer_ = std::make_unique<JournalWriter>(loop, path_, facts_.pending ? goodBytes_ : 0);
    return *writer_;
}

void ProjectJournal::Remove() {
    facts_ = {};
    goodBytes_ = 0;
    applied_ = false;
    if (writer_) writer_->Restart();
    if (!writer_ || !writer_->Opened()) ::unlink(path_.c_str());
}

void ProjectJournal::KeepAcrossSave() {
    if (facts_.pending) ::utimensat(AT_FDCWD, path_.c_str(), nullptr, 0);
}

}  // namespace mv
