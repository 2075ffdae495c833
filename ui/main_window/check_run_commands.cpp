// The check run in the window: "&Check" and "S&top", and what a run shows.
// CheckRun (core) does the work and reports; the window switches its commands,
// cursor and drops, and draws the rows, the counters and the scrolling once
// per frame however many checks report in between.
#include <QAction>
#include <QGuiApplication>

#include "main_window/main_form.h"
#include "main_window/recipient_list_view.h"
#include "main_window/run_warning_bar.h"
#include "main_window/status_panels.h"
#include "models/recipient_model.h"
#include "platform/resolver/host_resolver.h"
#include "settings/tini.h"

namespace mv::ui {

namespace {

// When the DNS servers answer on another port (a test world, a tunnel), the
// names of the mail exchangers are looked up there too.
void PointHostLookups(const TSmtpRelayServer& dispatcher, uint16_t port) {
    std::string servers;
    for (const std::string& s : dispatcher.DnsServerList()) {
        if (!servers.empty()) servers += ',';
        servers.append(s).append(":").append(std::to_string(port));
    }
    network_layer::SetLookupServers(servers);
}

}  // namespace

void TMainForm::WireCheckRunCommands() {
    Connect(acStart, &TMainForm::acStartExecute);
    Connect(acAbort, &TMainForm::acAbortExecute);
    runFrame_.setSingleShot(true);
    runFrame_.setInterval(RecipientModel::kFrameMs);
    connect(&runFrame_, &QTimer::timeout, this, &TMainForm::ShowRunFrame);

    run_.OnRunningChanged = [this](bool running) { RunningChanged(running); };
    run_.OnModified = [this] { modified_ = true; };
    run_.OnStatusChanged = [this] {
        statusPending_ = true;
        if (run_.Running())
            ScheduleFrame();
        else
            ShowRunFrame();  // the start and the end of a run show at once
    };
    run_.OnRowBegun = [this](size_t row) {
        revealPending_ = row;
        ScheduleFrame();
    };
    run_.OnRowReported = [this](size_t row, int) {
        revealPending_ = row;
        ScheduleFrame();
    };
    // A warning holds the run until the user answers in the bar.
    run_.OnWarning = [this](const RunWarning& warning) {
        RunWarningBar1->ShowWarning(QString::fromStdString(warning.message));
    };
    connect(RunWarningBar1, &RunWarningBar::stopClicked, this, [this] {
        RunWarningBar1->hide();
        run_.Stop();
    });
    connect(RunWarningBar1, &RunWarningBar::goOnClicked, this, [this] {
        RunWarningBar1->hide();
        run_.GoOn();
    });
}

void TMainForm::acStartExecute() {
    CheckSettings settings = CheckSettings::FromIni(ini_);
    overrides_.ApplyTo(settings);
    run_.Start(settings);  // refusals reach the error display
    if (overrides_.dnsPort && run_.Running())
        PointHostLookups(SmtpRelayServer1, *overrides_.dnsPort);
}

void TMainForm::acAbortExecute() {
    run_.Stop();
}

void TMainForm::RunningChanged(bool running) {
    setAcceptDrops(!running);
    if (running) ListView1->FollowRun();
    RunWarningBar1->hide();  // a warning belongs to its run
    if (running != busyCursor_) {
        busyCursor_ = running;
        if (running)
            QGuiApplication::setOverrideCursor(Qt::BusyCursor);  // arrow with hourglass
        else
            QGuiApplication::restoreOverrideCursor();
    }
    SetRunningCommandStates(running);
    if (!running) ShowRunFrame();
}

void TMainForm::SetRunningCommandStates(bool running) {
    // The pre-flight check's probes would compete with the run's connections
    // for the same mail servers; "&Summary..." only reads, and stays.
    for (QAction* a :
         {acStart, acOpen, acNew, acOptions, acPreflight, acRecipientEdit, acRecipientAdd,
          acImportRecipient, acExportRecipient, acCheckAll, acUnCheckAll, acInvertSelection,
          acRecipientDeleteSelected, acRecipientDelete})
        a->setEnabled(!running);
    acAbort->setEnabled(running);
    if (!running) {
        const bool selected = ListView1->SelectedRow().has_value();
        acRecipientEdit->setEnabled(selected);
        acRecipientDelete->setEnabled(selected);
    }
    UpdateViewLogCommand();
}

void TMainForm::ScheduleFrame() {
    if (!runFrame_.isActive()) runFrame_.start();
}

void TMainForm::ShowRunFrame() {
    runFrame_.stop();
    model_->FlushChanges();
    if (revealPending_) {
        ListView1->RevealRow(*revealPending_);
        revealPending_.reset();
    }
    if (statusPending_) {
        statusPending_ = false;
        StatusBar1->Show(run_.StatusTexts());
        StatusBar1->ShowRecheck(run_.RecheckText());
    }
}

}  // namespace mv::ui
