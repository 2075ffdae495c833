// The check run in the window: "&Check", "S&top", "Check on the C&luster"
// and "C&heck the Rest", and what a run shows. The project's run (core:
// CheckRun on this computer, ClusterRun on the cluster) does the work and
// reports; the window switches its commands and cursor, and draws the rows,
// the counters and the scrolling once per frame however many checks report
// in between.
#include <QAction>
#include <QGuiApplication>

#include "common/error_display.h"
#include "loop/qt_message_loop.h"
#include "main_window/main_form.h"
#include "main_window/recipient_list_view.h"
#include "main_window/run_warning_bar.h"
#include "main_window/status_panels.h"
#include "models/recipient_model.h"
#include "platform/text/text_trim.h"
#include "settings/tini.h"

namespace mv::ui {

void TMainForm::WireCheckRunCommands() {
    Connect(acStart, &TMainForm::acStartExecute);
    Connect(acAbort, &TMainForm::acAbortExecute);
    Connect(acCheckRest, &TMainForm::acCheckRestExecute);
    Connect(acCheckOnCluster, &TMainForm::acCheckOnClusterExecute);
    UpdateClusterCommand();
    runFrame_.setSingleShot(true);
    runFrame_.setInterval(RecipientModel::kFrameMs);
    connect(&runFrame_, &QTimer::timeout, this, [this] { EnterCore([this] { ShowRunFrame(); }); });

    connect(&project_, &TProject::RunningChanged, this, &TMainForm::RunningChanged);
    connect(&project_, &TProject::StatusChanged, this, [this] {
        statusPending_ = true;
        if (project_.Running())
            ScheduleFrame();
        else
            ShowRunFrame();  // the start and the end of a run show at once
    });
    for (auto signal : {&TProject::RowBegun, &TProject::RowReported}) {
        connect(&project_, signal, this, [this](size_t row) {
            revealPending_ = row;
            ScheduleFrame();
        });
    }
    // A run on the cluster that fails is over; the box is shown once the
    // core's handler has returned.
    connect(
        &project_, &TProject::RunFailed, this,
        [this](const QString& message) { ShowErrorBox(this, message.toStdString()); },
        Qt::QueuedConnection);
    connect(&project_, &TProject::RunNote, StatusBar1, &StatusPanels::ShowNote);
    // A warning holds the run until the user answers in the bar.
    connect(&project_, &TProject::Warning, RunWarningBar1, &RunWarningBar::ShowWarning);
    connect(RunWarningBar1, &RunWarningBar::stopClicked, this, [this] {
        RunWarningBar1->HideWarning();
        RunCommand([this] { project_.StopRun(); });
    });
    connect(RunWarningBar1, &RunWarningBar::goOnClicked, this, [this] {
        RunWarningBar1->HideWarning();
        RunCommand([this] { project_.GoOn(); });
    });
    // What escapes a handler of the core is a fault of the program: the
    // loop goes on, and the user is told once per distinct message.
    project_.SmtpRelayServer1.Loop().OnHandlerFailed = [this](const std::string& message) {
        RunWarningBar1->AddFailure(QString::fromStdString(message));
    };
    // A run whose journal cannot be written goes on; the user should know.
    connect(&project_, &TProject::JournalFailed, RunWarningBar1, &RunWarningBar::AddFailure);
}

void TMainForm::acStartExecute() {
    project_.StartRun(ini_, RunRows::kMarked,
                      ListViewBounds());  // refusals reach the error display
}

// Only the marked rows without a result: what an interrupted run left.
void TMainForm::acCheckRestExecute() {
    project_.StartRun(ini_, RunRows::kRest, ListViewBounds());
}

void TMainForm::acAbortExecute() {
    project_.StopRun();
}

void TMainForm::acCheckOnClusterExecute() {
    project_.StartClusterRun(ini_);  // refusals reach the error display
}

void TMainForm::UpdateClusterCommand() {
    acCheckOnCluster->setVisible(!TrimBlanks(ini_.ilClusterRedis.Text()).empty());
}

void TMainForm::RunningChanged(bool running) {
    if (running) ListView1->FollowRun();
    RunWarningBar1->HideWarning();  // a warning belongs to its run
    if (running != busyCursor_) {
        busyCursor_ = running;
        if (running)
            QGuiApplication::setOverrideCursor(Qt::BusyCursor);  // arrow with hourglass
        else
            QGuiApplication::restoreOverrideCursor();
    }
    UpdateCommandStates();
    if (!running) ShowRunFrame();
}

void TMainForm::ScheduleFrame() {
    if (!runFrame_.isActive()) runFrame_.start();
}

void TMainForm::ShowRunFrame() {
    runFrame_.stop();
    model_->FlushChanges();  // the filter takes the rows' new results with it
    if (revealPending_) {
        ListView1->RevealRow(*revealPending_);
        revealPending_.reset();
    }
    if (statusPending_) {
        statusPending_ = false;
        StatusBar1->Show(project_.StatusTexts());
        StatusBar1->ShowRecheck(project_.RecheckText());
    }
    UpdateShowingPanel();
    UpdateCommandStates();  // the selected row may have its result now
}

}  // namespace mv::ui
