// Writes a run's results into its journal (journal_file.h) as they come.
//
// Each result is one write of one whole line, so a killed process loses
// nothing that was reported before it died. The file is flushed to the disk
// (fdatasync) at most once a second, a second after the first line that is
// not yet on it, and at the end of the run (Sync): a power cut loses at most
// the last second. The file is created with the first line written, so a run
// that reports nothing leaves no journal behind.
//
// A journal that cannot be written does not stop the run: OnFailed tells it
// once, and the writer writes nothing more.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

#include "platform/loop/message_loop.h"
#include "project/findings/finding_line.h"
#include "project/list/recipient_list.h"

namespace mv {

class JournalWriter {
  public:
    // How often at most the journal is flushed to the disk.
    static constexpr uint32_t kSyncIntervalMs = 1000;

    // `keepBytes`: 0 starts a new journal at `path`, replacing whatever is
    // there; otherwise the journal there is continued after its first
    // `keepBytes` bytes (its good part) and the rest is cut off.
    JournalWriter(MessageLoop& loop, std::filesystem::path path, uint64_t keepBytes = 0);
    // Flushes what was written and closes the file.
    ~JournalWriter();
    JournalWriter(const JournalWriter&) = delete;
    JournalWriter& operator=(const JournalWriter&) = delete;

    // Appends the line of the row's result as the list holds it
    // (JournalRecordOf); a row without a result is skipped.
    void Append(const RecipientList& list, size_t row);
    void Append(const FindingRecord& record);
    // Flushes what was written to the disk now (the end of a run).
    void Sync();
    // Everything written so far is in the saved project, or unwanted: an
    // open journal starts again with its header alone; one not opened yet
    // will be started anew rather than continued.
    void Restart();

    const std::filesystem::path& Path() const { return path_; }
    // Whether the file has been created or continued.
    bool Opened() const { return fd_ >= 0; }
    size_t LinesWritten() const { return lines_; }
    bool Failed() const { return failed_; }

    // "The journal PATH cannot be written (REASON): ..." once, on the first failure.
    std::function<void(const std::string& message)> OnFailed;

  private:
    bool Open();
    bool WriteAll(std::string_view bytes);
    void Fail(const char* what, int error);
    void ScheduleSync();

    MessageLoop& loop_;
    std::filesystem::path path_;
    uint64_t keepBytes_;
    int fd_ = -1;
    bool failed_ = false;
    bool dirty_ = false;  // written since the last flush
    size_t lines_ = 0;
    MessageLoop::TimerId syncTimer_ = 0;
    std::string line_;  // reused for each line
};

}  // namespace mv
