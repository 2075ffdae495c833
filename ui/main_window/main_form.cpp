#include "main_window/main_form.h"

#include <QAction>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QScreen>
#include <QUrl>
#include <QVBoxLayout>

#include "common/error_display.h"
#include "common/icons.h"
#include "main_window/recipient_list_view.h"
#include "main_window/run_warning_bar.h"
#include "main_window/status_panels.h"
#include "models/recipient_model.h"
#include "recent_files/most_recent_used_list.h"
#include "settings/tini.h"

namespace mv::ui {

namespace {

constexpr QSize kInitialSize(648, 526);
constexpr QSize kMinimumSize(300, 100);

}  // namespace

TMainForm::TMainForm(TINI& ini, MessageLoop& loop, CheckOverrides overrides, QWidget* parent)
    : QMainWindow(parent),
      ini_(ini),
      overrides_(std::move(overrides)),
      SmtpRelayServer1(loop),
      run_(list_, SmtpRelayServer1) {
    setObjectName(QStringLiteral("MainForm"));
    setWindowIcon(Icon(IconId::kProgram));
    SmtpRelayServer1.SetInternalDns(TSmtpRelayServer::kDefaultInternalDns);
    overrides_.ApplyTo(SmtpRelayServer1);
    openUrl = [](const QUrl& url) { return QDesktopServices::openUrl(url); };

    model_ = new RecipientModel(list_, this);
    // The list, with the bar of a run's warning above it.
    auto* central = new QWidget(this);
    auto* column = new QVBoxLayout(central);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    RunWarningBar1 = new RunWarningBar(central);
    ListView1 = new RecipientListView(*model_, central);
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
    WireHelpCommands();
    WireOptionsAboutCommands();
    WirePreflightCommands();
    WireRecipientCommands();
    WireFindCommands();
    WireLogCommands();
    WireRecentFiles();
    WireImportExportCommands();
    WireSummaryCommands();

    resize(kInitialSize);
    setMinimumSize(kMinimumSize);
    if (const QScreen* s = screen()) move(s->availableGeometry().center() - rect().center());

    // FormCreate: accept dropped files, restore the maximised state, and
    // begin as a new project until the start argument decides.
    setAcceptDrops(true);
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
    MostRecentUsedList1.reset();  // saves the recently used files, while the menu still exists
    // The view and the model watch the list, which goes before Qt frees children.
    delete ListView1;
    delete model_;
}

void TMainForm::OpenStartArgument(const QStringList& arguments) {
    RunCommand([&] {
        if (!arguments.isEmpty() && IsProjectFileName(arguments.first().toStdString()))
            OpenProject(arguments.first());
        else
            acNewExecute();
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
    try {
        AskSaveChanges();
        event->accept();
    } catch (...) {
        ShowCurrentException(this);
        event->ignore();
    }
}

}  // namespace mv::ui
