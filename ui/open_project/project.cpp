#include "open_project/project.h"

#include <QFile>
#include <exception>

#include "address/address_knowledge.h"
#include "cluster/cluster_run.h"
#include "project/findings/project_files.h"
#include "project/run/host_lookups.h"
#include "settings/tini.h"

namespace mv::ui {

std::filesystem::path ToPath(const QString& fileName) {
    return std::filesystem::path(QFile::encodeName(fileName).toStdString());
}

TProject::TProject(MessageLoop& loop, CheckOverrides overrides, QObject* parent)
    : QObject(parent),
      SmtpRelayServer1(loop),
      loop_(loop),
      overrides_(std::move(overrides)),
      journal_(std::make_unique<ProjectJournal>()),
      run_(list_, SmtpRelayServer1) {
    SmtpRelayServer1.SetInternalDns(TSmtpRelayServer::kDefaultInternalDns);
    overrides_.ApplyTo(SmtpRelayServer1);
    WireRun();
}

void TProject::WireRun() {
    run_.OnModified = [this] { SetModified(true); };
    run_.OnRunningChanged = [this](bool running) {
        if (!running) EndJournal();  // flushed by the run's end
        emit RunningChanged(running);
    };
    run_.OnStatusChanged = [this] { emit StatusChanged(); };
    run_.OnRowBegun = [this](size_t row) { emit RowBegun(row); };
    run_.OnRowReported = [this](size_t row, int) { emit RowReported(row); };
    run_.OnWarning = [this](const RunWarning& warning) {
        emit Warning(QString::fromStdString(warning.message));
    };
}

TProject::~TProject() = default;

void TProject::SetModified(bool modified) {
    if (modified_ == modified) return;
    modified_ = modified;
    emit ModifiedChanged(modified);
}

void TProject::SetProjectFileName(const QString& fileName) {
    if (projectFileName_ == fileName) return;
    projectFileName_ = fileName;
    emit FileNameChanged();
}

void TProject::Clear() {
    list_.BeginUpdate();
    list_.ResetColumns();
    list_.Clear();
    list_.EndUpdate();
    UseJournalOf({}, false);
    SetModified(false);
    SetProjectFileName(QString());
}

std::string TProject::Open(const QString& fileName) {
    std::exception_ptr failure;
    std::string notice;
    try {
        notice = mv::OpenProject(list_, ToPath(fileName));  // brackets its changes itself
    } catch (...) {
        failure = std::current_exception();
    }
    UseJournalOf(ToPath(fileName), false);
    SetProjectFileName(fileName);
    SetModified(false);
    if (failure) std::rethrow_exception(failure);
    return notice;
}

void TProject::Save(const QString& fileName, const ListBounds& bounds) {
    mv::SaveProject(list_, ToPath(fileName), bounds);
}

void TProject::StartRun(TINI& ini, RunRows rows, const ListBounds& bounds) {
    CheckSettings settings = CheckSettings::FromIni(ini);
    overrides_.ApplyTo(settings);
    // Read on the first run (a list missing refuses it); the providers spare
    // or replace the accept-all probe as on the command line.
    SmtpRelayServer1.SetProviders(&AddressKnowledge::Installed().Providers());
    clusterShown_ = false;
    const bool hadFile = !journalOf_.empty();
    StartJournal(bounds);
    try {
        run_.Start(settings, rows);
    } catch (...) {
        EndJournal();
        if (!hadFile && unsaved_) DiscardJournal();  // the copy was made for this run alone
        throw;
    }
    if (overrides_.dnsPort && run_.Running())
        PointHostLookups(SmtpRelayServer1, std::to_string(*overrides_.dnsPort));
}

}  // namespace mv::ui
