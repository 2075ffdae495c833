// The main window's action list and its three views: the main menu, the tool
// bar and the list's context menu. Captions, hints, shortcuts and initial
// states are the program's own texts; "&" marks the access key.
#include <QAction>
#include <QActionGroup>
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>
#include <initializer_list>

#include "common/icons.h"
#include "main_window/main_form.h"
#include "main_window/recipient_list_view.h"
#include "models/row_filter_model.h"

namespace mv::ui {

QAction* TMainForm::MakeAction(QAction*& slot, const char* name, const char* caption,
                               const char* hint, const QKeySequence& shortcut, bool enabled) {
    slot = new QAction(QString::fromUtf8(caption), this);
    slot->setObjectName(QString::fromLatin1(name));
    slot->setToolTip(QString::fromUtf8(hint));  // the tool buttons show the hint
    slot->setStatusTip(QString::fromUtf8(hint));
    slot->setShortcut(shortcut);
    slot->setEnabled(enabled);
    return slot;
}

void TMainForm::CreateActions() {
    const QKeySequence none;
    MakeAction(acNew, "acNew", "&New", "New project", none, true);
    MakeAction(acOpen, "acOpen", "&Open...", "Open project", none, true);
    MakeAction(acSave, "acSave", "&Save", "Save project", none, true);
    MakeAction(acSaveAs, "acSaveAs", "Save &As...", "Save project as", none, true);
    MakeAction(acStart, "acStart", "&Check", "Start checking addresses", none, true);
    MakeAction(acAbort, "acAbort", "S&top", "Stop checking addresses", none, false);
    MakeAction(acCheckOnCluster, "acCheckOnCluster", "Check on the C&luster",
               "Check the marked addresses on the cluster", none, true);
    MakeAction(acCheckRest, "acCheckRest", "C&heck the Rest",
               "Check the marked addresses that have no result yet", none, true);
    MakeAction(acRecipientAdd, "acRecipientAdd", "&New...", "New Recipient", none, true);
    MakeAction(acRecipientEdit, "acRecipientEdit", "&Properties...", "Edit recipient", none, false);
    MakeAction(acRecipientDelete, "acRecipientDelete", "&Delete...", "Delete recipient", none,
               false);
    MakeAction(acRecipientDeleteSelected, "acRecipientDeleteSelected", "D&elete All Checked...",
               "Delete all checked recipients", none, true);
    MakeAction(acCheckAll, "acCheckAll", "&Check All", "Check all recipients",
               QKeySequence(Qt::CTRL | Qt::Key_A), true);
    MakeAction(acUnCheckAll, "acUnCheckAll", "&Uncheck All", "Uncheck all recipients", none, true);
    MakeAction(acInvertSelection, "acInvertSelection", "&Invert Selection", "Invert selection",
               QKeySequence(Qt::CTRL | Qt::Key_I), true);
    MakeAction(acCheck, "acCheck", "&Check / Uncheck", "Check or uncheck recipient", none, false);
    MakeAction(acViewLog, "acViewLog", "&View Log...",
               "View the transaction log for this recipient", none, false);
    MakeAction(acImportRecipient, "acImportRecipient", "&Import Recipient List...",
               "Import Recipient List", none, true);
    MakeAction(acExportRecipient, "acExportRecipient", "&Export Recipient List...",
               "Export Recipient List", none, true);
    MakeAction(acFind, "acFind", "&Find...", "Find recipient", none, false);
    MakeAction(acFindNext, "acFindNext", "Find &Next", "Find next recipient",
               QKeySequence(Qt::Key_F3), false);
    MakeAction(acOptions, "acOptions", "&Options...", "Open Options dialog box", none, true);
    MakeAction(acSummary, "acSummary", "&Summary...", "Show what the results add up to", none,
               false);
    MakeAction(acPreflight, "acPreflight", "Check This &Computer...",
               "Check whether this computer can check addresses", none, true);
    MakeAction(acContent, "acContent", "&Contents...", "Open the online help", none, true);
    // The Help menu's entry, the only view of this command, has a hint of its own.
    acContent->setStatusTip(QStringLiteral("Open the help file"));
    MakeAction(acHomePage, "acHomePage", "&Corvane Software Home Page...", "", none, true);
    MakeAction(acAbout, "acAbout", "&About Mailvetter....", "About Mailvetter", none, true);

    Exit1 = new QAction(QStringLiteral("E&xit"), this);
    Exit1->setObjectName(QStringLiteral("Exit1"));
    connect(Exit1, &QAction::triggered, this, &QWidget::close);

    acNew->setIcon(Icon(IconId::kNew));
    acOpen->setIcon(Icon(IconId::kOpen));
    acSave->setIcon(Icon(IconId::kSave));
    acFind->setIcon(Icon(IconId::kFind));
    acStart->setIcon(Icon(IconId::kStart));
    acAbort->setIcon(Icon(IconId::kStop));
    acOptions->setIcon(Icon(IconId::kOptions));
    CreateFilterActions();
}

void TMainForm::CreateFilterActions() {
    struct Entry {
        const char* name;
        const char* caption;
        const char* hint;
        RowFilter filter;
    };
    static constexpr Entry kEntries[] = {
        {"acShowAll", "&All", "Show all recipients", RowFilter::kAll},
        {"acShowDeliverable", "&Deliverable", "Show the deliverable recipients",
         RowFilter::kDeliverable},
        {"acShowRisky", "&Risky", "Show the risky recipients", RowFilter::kRisky},
        {"acShowUndeliverable", "&Undeliverable", "Show the undeliverable recipients",
         RowFilter::kUndeliverable},
        {"acShowUnknown", "Un&known", "Show the recipients whose verdict is unknown",
         RowFilter::kUnknown},
        {"acShowNotChecked", "&Not checked", "Show the recipients not checked yet",
         RowFilter::kNotChecked},
    };
    acShow = new QActionGroup(this);
    acShow->setExclusive(true);
    for (const Entry& e : kEntries) {
        QAction* entry = nullptr;
        MakeAction(entry, e.name, e.caption, e.hint, QKeySequence(), true);
        entry->setCheckable(true);
        entry->setChecked(e.filter == RowFilter::kAll);
        entry->setData(static_cast<int>(e.filter));
        acShow->addAction(entry);
    }
}

namespace {

// Adds the entries in order; a null entry is a separator.
void AddEntries(QWidget* menu, std::initializer_list<QAction*> entries) {
    for (QAction* entry : entries) {
        if (entry == nullptr) {
            auto* separator = new QAction(menu);
            separator->setSeparator(true);
            menu->addAction(separator);
        } else {
            menu->addAction(entry);
        }
    }
}

}  // namespace

void TMainForm::CreateMenus() {
    fileMenu_ = menuBar()->addMenu(QStringLiteral("&File"));
    fileMenu_->setObjectName(QStringLiteral("File1"));
    recipientMenu_ = new QMenu(QStringLiteral("&Recipient"), fileMenu_);
    recipientMenu_->setObjectName(QStringLiteral("Recipient1"));
    AddEntries(recipientMenu_,
               {acRecipientAdd, acRecipientEdit, acRecipientDelete, acRecipientDeleteSelected,
                nullptr, acCheckAll, acUnCheckAll, acInvertSelection, nullptr, acViewLog});
    AddEntries(fileMenu_, {acNew, acOpen, acSave, acSaveAs, nullptr, acStart, acAbort,
                           acCheckOnCluster, acCheckRest, nullptr});
    fileMenu_->addMenu(recipientMenu_);
    AddEntries(fileMenu_, {acImportRecipient, acExportRecipient, nullptr, Exit1});
    recentFilesAnchor_ = fileMenu_->actions().at(fileMenu_->actions().size() - 2);

    QMenu* search = menuBar()->addMenu(QStringLiteral("&Search"));
    search->setObjectName(QStringLiteral("Search1"));
    AddEntries(search, {acFind, acFindNext, nullptr});
    showMenu_ = search->addMenu(QStringLiteral("S&how"));
    showMenu_->setObjectName(QStringLiteral("Show1"));
    showMenu_->addActions(acShow->actions());
    QMenu* tools = menuBar()->addMenu(QStringLiteral("&Tools"));
    tools->setObjectName(QStringLiteral("Tools1"));
    AddEntries(tools, {acOptions, acSummary, acPreflight});
    QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
    help->setObjectName(QStringLiteral("Help1"));
    AddEntries(help, {acContent, nullptr, acHomePage, nullptr, acAbout});
}

void TMainForm::CreateToolBar() {
    QToolBar* bar = addToolBar(QStringLiteral("ToolBar1"));
    bar->setObjectName(QStringLiteral("ToolBar1"));
    bar->setMovable(false);
    bar->setFloatable(false);
    bar->setIconSize(QSize(16, 16));
    bar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    AddEntries(bar, {acNew, acOpen, acSave, nullptr, acFind, nullptr, acStart, acAbort, nullptr,
                     acOptions});
}

void TMainForm::CreateContextMenu() {
    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    AddEntries(PopupMenu1, {acRecipientAdd, acRecipientEdit, acRecipientDelete, nullptr, acCheck,
                            nullptr, acViewLog});
    ListView1->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(ListView1, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        PopupMenu1->popup(ListView1->viewport()->mapToGlobal(at));
    });
}

void TMainForm::Connect(QAction* action, Handler handler) {
    connect(action, &QAction::triggered, this,
            [this, handler] { RunCommand([this, handler] { (this->*handler)(); }); });
}

}  // namespace mv::ui
