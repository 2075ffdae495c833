// The open project (TProject): the recipient list, the name of its file,
// whether it has unsaved changes, and the runs over it: the checking
// dispatcher SmtpRelayServer1, the check run on this computer, the run on the
// cluster, and the journal of a run. The main window is handed one and keeps
// only widgets and commands; every command that changes the project goes
// through here, so what happens to a project is found in this one place.
//
// The journal (core: ProjectJournal) takes every result of a run as it comes,
// beside the project's file, or for a project never saved beside a copy of
// its list in the user's state folder (unsaved_projects.h). A save removes
// it, and so does discarding the changes of a run; a journal left behind
// means the run did not end in a save, and is offered when the project is
// opened again (run_journal.cpp).
//
// Modified has one setter, SetModified, and one signal, ModifiedChanged; the
// file name likewise (FileNameChanged). The events of either run arrive as
// the same Qt signals; the window decides how to show them.
#pragma once

#include <QObject>
#include <QString>
#include <array>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "common/program_options.h"
#include "engine/smtp_relay_server.h"
#include "project/journal/unsaved_projects.h"
#include "project/list/recipient_list.h"
#include "project/run/check_run.h"
#include "project/stream/project_stream.h"

namespace mv {
class MessageLoop;
class TINI;
namespace cluster {
class ClusterRun;
}
}  // namespace mv

namespace mv::ui {

// A file name as the core's files take it.
std::filesystem::path ToPath(const QString& fileName);

class TProject final : public QObject {
    Q_OBJECT
  public:
    // `overrides` apply to every run of this process (a test world).
    explicit TProject(MessageLoop& loop, CheckOverrides overrides = {}, QObject* parent = nullptr);
    ~TProject() override;

    RecipientList& List() { return list_; }
    const RecipientList& List() const { return list_; }

    // ---- The file ----
    bool Modified() const { return modified_; }
    void SetModified(bool modified);
    // The full path of the project's file; empty for a project never saved.
    const QString& ProjectFileName() const { return projectFileName_; }
    void SetProjectFileName(const QString& fileName);
    // A new project: the two standard columns, no rows, no name, unmodified.
    void Clear();
    // Reads `fileName` into the list, and the findings file beside it into
    // the rows. Whether it succeeds or not, the project then carries that
    // name and is unmodified; a failure is thrown after. Returns the notice
    // about a findings file that cannot be read (empty when none).
    std::string Open(const QString& fileName);
    // Writes the list to `fileName`, then its findings file; throws
    // EFCreateError when the file cannot be created (nothing written),
    // another error when writing fails (EFindingsSaveError for the findings).
    void Save(const QString& fileName, const ListBounds& bounds);

    // ---- The runs ----
    TSmtpRelayServer SmtpRelayServer1;
    // A run on this computer or on the cluster is under way.
    bool Running() const;
    const CheckRun& Run() const { return run_; }
    const CheckOverrides& Overrides() const { return overrides_; }
    // Starts a run over `rows` with the stored settings and this process's
    // overrides, journaled from its first result; a refusal is thrown
    // (ECheckRunError, or the dispatcher's own). A project never saved first
    // writes its list (in `bounds`) to the state folder.
    void StartRun(TINI& ini, RunRows rows, const ListBounds& bounds);
    // Submits the marked rows to the cluster of Cluster/Redis (its login from
    // Cluster/User and Cluster/Password unless the address holds one) and
    // watches the run; the rows and counters change as in a run on this
    // computer. A refusal is thrown as StartRun's; a failure later comes
    // as RunFailed.
    void StartClusterRun(TINI& ini);
    // Stops the run under way: on the cluster it is cancelled.
    void StopRun();
    void GoOn() { run_.GoOn(); }
    // The five panels and the recheck text of the run started last.
    std::array<std::string, 5> StatusTexts() const;
    std::string RecheckText() const;

    // ---- The journal of an interrupted check (run_journal.cpp) ----
    // What the journal beside `fileName` holds, looked at before opening it.
    static JournalFacts JournalLeftBeside(const QString& fileName);
    // The journal of the project just opened.
    const JournalFacts& JournalFound() const { return journal_->Facts(); }
    // Gives the rows the results of the journal left behind and marks the
    // project modified. Throws EJournalError (nothing applied, journal kept).
    size_t ApplyJournal();
    // The user keeps the journal without its results: saving asks about it.
    void DeclineJournal() { declined_ = journal_->Facts().results; }
    // The results of a declined journal that a save to `fileName` would
    // leave behind (0: none to ask about).
    size_t DeclinedResultsOf(const QString& fileName) const;
    // The project was saved to `fileName`: its journal goes (a declined one
    // only when `discardDeclined`), and a run under way journals beside it.
    void JournalSaved(const QString& fileName, bool discardDeclined);
    // The changes are discarded ("No" to the modified prompt): the journal of
    // a run goes, and a project never saved leaves nothing behind.
    void DiscardJournal();
    // Opens an unsaved project of the state folder as a project never saved,
    // its journal applied, modified.
    void OpenUnsaved(const std::filesystem::path& project);

  signals:
    void ModifiedChanged(bool modified);
    void FileNameChanged();
    void RunningChanged(bool running);
    void StatusChanged();  // the counters changed
    // A row's check began or reported: it is the one to scroll into view.
    void RowBegun(size_t row);
    void RowReported(size_t row);
    // The run is held by a warning until GoOn or StopRun.
    void Warning(const QString& message);
    // The journal cannot be written: the run goes on without it.
    void JournalFailed(const QString& message);
    // The run on the cluster could not be submitted or watched (it is over).
    void RunFailed(const QString& message);
    // Something worth a line in the status bar (a run submitted, a
    // connection lost and made again).
    void RunNote(const QString& message);

  private:
    void WireRun();
    void WireClusterRun();
    // A fresh journal for the project file `project` (none when empty).
    void UseJournalOf(const std::filesystem::path& project, bool unsaved);
    void StartJournal(const ListBounds& bounds);
    void BeginWriting();
    void EndJournal();

    MessageLoop& loop_;
    RecipientList list_;
    CheckOverrides overrides_;
    // Outlives the run, which writes to it.
    std::unique_ptr<ProjectJournal> journal_;
    std::filesystem::path journalOf_;  // the file beside which it lies
    bool unsaved_ = false;             // journalOf_ is a copy in the state folder
    bool journaled_ = false;           // a run of this session wrote to it
    size_t declined_ = 0;              // results the user kept without applying
    CheckRun run_;
    std::unique_ptr<cluster::ClusterRun> clusterRun_;  // the last run on the cluster
    bool clusterShown_ = false;  // the counters are those of the run on the cluster
    bool modified_ = false;
    QString projectFileName_;
};

}  // namespace mv::ui
