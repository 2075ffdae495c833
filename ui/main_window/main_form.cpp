#include "main_window/main_form.h"

#include <QAction>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QFileInfo>
#include <QScreen>
#include <QUrl>
#include <QVBoxLayout>

#include "common/error_display.h"
#include "common/icons.h"
#include "loop/qt_message_loop.h"
#include "main_window/recipient_list_view.h"
#include "main_window/run_warning_bar.h"
#include "main_window/status_panels.h"
#include "models/recipient_model.h"
#include "models/row_filter_model.h"
#include "recent_files/most_recent_used_list.h"
#include "settings/tini.h"

namespace mv::ui {

namespace {

constexpr QSize kInitialSize(648, 526);
constexpr QSize kMinimumSize(300, 100);

}  // namespace

TMainForm::TMainForm(TINI& ini, TProject& project, QWidget* parent)
    : QMainWindow(parent), ini_(ini), project_(project), fileDialog_(ini) {
    setObjectName(QStringLiteral("MainForm"));
    setWindowIcon(Icon(IconId::kProgram));
    openUrl = [](const QUrl& url) { return QDesktopServices::openUrl(url); };

    model_ = new RecipientModel(project_.List(), this);
    shown_ = new RowFilterModel(*model_, this);
    // The list, with the bar of warnings and errors above it.
    auto* central = new QWidget(this);
    auto* column = new QVBoxLayout(central);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    RunWarningBar1 = new RunWarningBar(central);
    ListView1 = new RecipientListView(*model_, *shown_, central);
    ListView1->setObjectName(QStringLiteral("ListView1"));
    column->addWidget(RunWarningBar1);
    column->addWidget(ListView1);
    setCentralWidget(central);
    StatusBar1 = new StatusPanels(this);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    setStatusBar(StatusBar1);

    CreateActions();
    CreateMenus();
    CreateToolBar();
    CreateContextMenu();
    WireProjectCommands();
    WireCheckRunCommands();
    WireSelectionCommands();
    WireFilterCommands();
    WireHelpCommands();
    WireOptionsAboutCommands();
    WirePreflightCommands();
    WireRecipientCommands();
    WireFindCommands();
    WireLogCommands();
    WireRecentFiles();
    WireImportExportCommands();
    WireSummaryCommands();
    WireCommandStates();

    resize(kInitialSize);
    setMinimumSize(kMinimumSize);
    if (const QScreen* s = screen()) move(s->availableGeometry().center() - rect().center());

    // FormCreate: accept dropped files, restore the maximised state, and
    // begin as a new project until the start argument decides.
    if (ini_.isMaximized.AsBoolean()) setWindowState(windowState() | Qt::WindowMaximized);
    ClearProject();
}

TMainForm::~TMainForm() {
    // FormDestroy: only whether the window is maximised is remembered.
    try {
        ini_.isMaximized.SetAsBoolean(isMaximized());
    } catch (...) {
        // A settings file that cannot be written must not stop the program's end.
    }
    MostRecentUsedList1->OnSaveFailed = nullptr;  // nobody is left to tell
    MostRecentUsedList1.reset();  // saves the recently used files, while the menu still exists
    project_.SmtpRelayServer1.Loop().OnHandlerFailed = nullptr;
    // The view and the models watch the project's list: they go first.
    delete ListView1;
    delete shown_;
    delete model_;
}

void TMainForm::OpenStartArgument(const QStringList& arguments) {
    RunCommand([&] {
        // By its full path: the recently used files name it from any folder.
        if (!arguments.isEmpty() && IsProjectFileName(arguments.first().toStdString())) {
            OpenProject(QFileInfo(arguments.first()).absoluteFilePath());
            return;
        }
        acNewExecute();
        // Only when no project was asked for: a No deletes what it offers.
        OfferInterruptedUnsavedProject();
    });
}

bool TMainForm::RunCommand(const std::function<void()>& command) {
    return ui::RunCommand(this, command);
}

void TMainForm::closeEvent(QCloseEvent* event) {
    // FormCloseQuery: never while a run is under way; otherwise the modified
    // prompt decides. A failed save is shown (the user must know the file
    // was not written) and keeps the window open like a cancel.
    if (Running()) {
        event->ignore();
        return;
    }
    EnterCore([&] {  // a save or a discarded journal reaches the core
        try {
            AskSaveChanges();
            event->accept();
        } catch (...) {
            ShowCurrentException(this);
            event->ignore();
        }
    });
}

}  // namespace mv::ui
