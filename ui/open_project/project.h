// The open project (TProject): the recipient list, the name of its file,
// whether it has unsaved changes, and the runs over it: the checking
// dispatcher SmtpRelayServer1, the check run on this computer and the run on
// the cluster. The main window is handed one and keeps only widgets and
// commands; every command that changes the project goes through here, so
// what happens to a project is found in this one place. The journal of a run
// belongs here too, beside the runs.
//
// Modified has one setter, SetModified, and one signal, ModifiedChanged; the
// file name likewise (FileNameChanged). The events of either run arrive as
// the same Qt signals; the window decides how to show them.
#pragma once

#include <QObject>
#include <QString>
#include <array>
#include <memory>
#include <string>

#include "common/program_options.h"
#include "engine/smtp_relay_server.h"
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
    // Starts a run over the marked rows with the stored settings and this
    // process's overrides; a refusal is thrown (ECheckRunError, the
    // dispatcher's own, or DomainListError for an address list that cannot
    // be read).
    void StartRun(TINI& ini);
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
    // The run on the cluster could not be submitted or watched (it is over).
    void RunFailed(const QString& message);
    // Something worth a line in the status bar (a run submitted, a
    // connection lost and made again).
    void RunNote(const QString& message);

  private:
    void WireRun();
    void WireClusterRun();

    MessageLoop& loop_;
    RecipientList list_;
    CheckOverrides overrides_;
    CheckRun run_;
    std::unique_ptr<cluster::ClusterRun> clusterRun_;  // the last run on the cluster
    bool clusterShown_ = false;  // the counters are those of the run on the cluster
    bool modified_ = false;
    QString projectFileName_;
};

}  // namespace mv::ui
