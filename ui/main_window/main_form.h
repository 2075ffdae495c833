// The main window (TMainForm): the project's recipient list, every command of
// the program as one action each, the menus, the tool bar, the list's context
// menu and the status bar. It owns the recipient list, the checking dispatcher
// and the check run; the run's logic is the core's CheckRun, which the window
// only shows.
//
// The commands are spread over files by feature, each with its own Wire...()
// that connects its actions to its handlers:
//   main_form.cpp              creation, caption, closing, destruction
//   main_form_actions.cpp      the action table, menus, tool bar, context menu
//   project_commands.cpp       New, Open..., Save, Save As..., the modified prompt
//   check_run_commands.cpp     "&Check", "S&top" and what a run shows
//   selection_commands.cpp     the selection rule, "&View Log..."'s state, the check-mark press
//   file_drops.cpp             project files dropped onto the window
//   help_commands.cpp          "&Contents...", the home page
//   options_about_commands.cpp "&Options...", "&About Mailvetter...."
//   preflight_commands.cpp     "Check This &Computer..."
//   recipient_commands.cpp     adding, editing, deleting and marking recipients
//   find_commands.cpp          "&Find...", "Find &Next"
//   log_commands.cpp           "&View Log..."
//   recent_files.cpp           the recently used files of the "&File" menu
//   import_export_commands.cpp "&Import Recipient List...", "&Export Recipient List..."
//   summary_commands.cpp       "&Summary...": the results counted, as charts and a table
// Every handler runs through RunCommand (common/error_display.h): it may raise
// a user error (shown in the error box) or call Abort() (a silent end).
#pragma once

#include <QMainWindow>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <functional>
#include <memory>
#include <optional>

#include "common/program_options.h"
#include "engine/smtp_relay_server.h"
#include "project/list/recipient_list.h"
#include "project/run/check_run.h"

class QAction;
class QMenu;
class QMimeData;
class QUrl;

namespace mv {
class MessageLoop;
class TINI;
}  // namespace mv

namespace mv::ui {

class RecipientListView;
class RecipientModel;
class RunWarningBar;
class StatusPanels;
class TFindDialog;
class TMostRecentUsedList;

class TMainForm : public QMainWindow {
    Q_OBJECT
  public:
    // `ini` and `loop` outlive the window; `overrides` apply to every run.
    TMainForm(TINI& ini, MessageLoop& loop, CheckOverrides overrides = {},
              QWidget* parent = nullptr);
    ~TMainForm() override;  // FormDestroy

    // Start-up's last step: opens the first argument when its extension is
    // ".mlt" (in any case); any other argument, or none, starts a new project.
    void OpenStartArgument(const QStringList& arguments);

    // ---- The project ----
    RecipientList& List() { return list_; }
    bool Modified() const { return modified_; }
    void SetModified(bool modified) { modified_ = modified; }
    const QString& ProjectFileName() const { return projectFileName_; }
    // A check run is under way (the dispatcher is busy).
    bool Running() const { return run_.Running(); }
    RecipientListView* ListView() const { return ListView1; }
    RunWarningBar* WarningBar() const { return RunWarningBar1; }
    StatusPanels* StatusBar() const { return StatusBar1; }

    // ---- Helpers shared by the commands ----
    void OpenProject(const QString& fileName);
    void SaveProject(const QString& fileName);
    // Offers to save a modified project; Cancel ends the calling command
    // silently (Abort).
    void AskSaveChanges();
    void UpdateCaption();
    void ResetColumns();
    size_t AddColumn(const QString& caption, int width);
    void ResetStatusBar();
    // "&View Log..." is enabled exactly when a row is selected and its result
    // icon is 0 or 1.
    void UpdateViewLogCommand();
    // The selection-dependent commands follow whether a row is selected.
    void UpdateSelectionCommands();
    // Runs `command` through the application's error display.
    bool RunCommand(const std::function<void()>& command);

    // The desktop's URL opener (a seam for tests); returns false when no
    // program could open the address.
    std::function<bool(const QUrl&)> openUrl;

    // The recently used file `fileName` was chosen from the "&File" menu:
    // opens it unless a run is under way; raises "File %s has been deleted"
    // when it is gone.
    void MostRecentUsedList1SelectFilename(const QString& fileName);
    TMostRecentUsedList* RecentFiles() const { return MostRecentUsedList1.get(); }

    // Whether `row` holds `text` in its address or an extra column, by the
    // find dialog's "Match case".
    bool MatchesFind(const QString& text, size_t row) const;
    TFindDialog* FindDialogWindow() const { return FindDialog; }

  protected:
    void closeEvent(QCloseEvent* event) override;  // FormCloseQuery
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    QMenu* createPopupMenu() override { return nullptr; }

  private:
    using Handler = void (TMainForm::*)();

    // main_form_actions.cpp
    void CreateActions();
    void CreateMenus();
    void CreateToolBar();
    void CreateContextMenu();
    QAction* MakeAction(QAction*& slot, const char* name, const char* caption, const char* hint,
                        const QKeySequence& shortcut, bool enabled);
    // Connects an action to its handler through the error display.
    void Connect(QAction* action, Handler handler);

    // One Wire...() per feature file.
    void WireProjectCommands();
    void WireCheckRunCommands();
    void WireSelectionCommands();
    void WireHelpCommands();
    void WireOptionsAboutCommands();
    void WirePreflightCommands();
    void WireRecipientCommands();
    void WireFindCommands();
    void WireLogCommands();
    void WireRecentFiles();
    void WireImportExportCommands();
    void WireSummaryCommands();

    // project_commands.cpp
    void acNewExecute();
    void acOpenExecute();
    void acSaveExecute();
    void acSaveAsExecute();
    void ClearProject();
    QString ChooseProjectToOpen();
    QString ChooseProjectToSave();

    // check_run_commands.cpp
    void acStartExecute();
    void acAbortExecute();
    void RunningChanged(bool running);
    void SetRunningCommandStates(bool running);
    void ScheduleFrame();
    void ShowRunFrame();

    // selection_commands.cpp
    void ListView1SelectItem();
    void ListView1CheckMarkPressed(size_t row);

    // help_commands.cpp
    void acContentExecute();
    void acHomePageExecute();
    void OpenWithDesktop(const QUrl& url, const QString& what);

    // file_drops.cpp
    static QString FirstProjectFile(const QMimeData* data);
    void OpenDroppedFile(const QString& fileName);

    // options_about_commands.cpp (the options dialog and the About box)
    void acOptionsExecute();
    void acAboutExecute();

    // preflight_commands.cpp (the pre-flight check)
    void acPreflightExecute();

    // recipient_commands.cpp (editing and marking recipients)
    void acRecipientAddExecute();
    void acRecipientEditExecute();
    void acRecipientDeleteExecute();
    void acRecipientDeleteSelectedExecute();
    void acCheckAllExecute();
    void acUnCheckAllExecute();
    void acInvertSelectionExecute();
    void acCheckExecute();
    void ListView1DblClick();

    // find_commands.cpp
    void acFindExecute();
    void acFindNextExecute();
    void FindDialogFind();

    // log_commands.cpp
    void acViewLogExecute();

    // recent_files.cpp
    void AddRecentFile(const QString& fileName);

    // import_export_commands.cpp
    void acImportRecipientExecute();
    void acExportRecipientExecute();

    // summary_commands.cpp
    void acSummaryExecute();
    void UpdateSummaryCommand();

    TINI& ini_;
    CheckOverrides overrides_;
    RecipientList list_;
    TSmtpRelayServer SmtpRelayServer1;
    CheckRun run_;

    bool modified_ = false;
    QString projectFileName_;
    QString lastOpenFolder_;      // where the open dialog starts
    QString lastSaveFileName_;    // the save dialog offers the name chosen last time
    QString lastImportFolder_;    // where the import's file dialog starts
    QString lastExportFileName_;  // the export's save dialog offers the name chosen last time
    bool busyCursor_ = false;

    // What a run shows is gathered and drawn once per frame.
    QTimer runFrame_;
    bool statusPending_ = false;
    std::optional<size_t> revealPending_;

    RecipientModel* model_ = nullptr;
    RecipientListView* ListView1 = nullptr;
    RunWarningBar* RunWarningBar1 = nullptr;  // above the list, shown while a warning holds a run
    StatusPanels* StatusBar1 = nullptr;
    QMenu* fileMenu_ = nullptr;
    QMenu* recipientMenu_ = nullptr;
    QMenu* PopupMenu1 = nullptr;
    // The recently used files go into the "&File" menu just before this
    // separator (the one above "E&xit").
    QAction* recentFilesAnchor_ = nullptr;

    // The action list. Each is named after itself (QObject::objectName).
    QAction* acNew = nullptr;
    QAction* acOpen = nullptr;
    QAction* acSave = nullptr;
    QAction* acSaveAs = nullptr;
    QAction* acStart = nullptr;
    QAction* acAbort = nullptr;
    QAction* acRecipientAdd = nullptr;
    QAction* acRecipientEdit = nullptr;
    QAction* acRecipientDelete = nullptr;
    QAction* acRecipientDeleteSelected = nullptr;
    QAction* acCheckAll = nullptr;
    QAction* acUnCheckAll = nullptr;
    QAction* acInvertSelection = nullptr;
    QAction* acCheck = nullptr;
    QAction* acViewLog = nullptr;
    QAction* acImportRecipient = nullptr;
    QAction* acExportRecipient = nullptr;
    QAction* acFind = nullptr;
    QAction* acFindNext = nullptr;
    QAction* acOptions = nullptr;
    QAction* acSummary = nullptr;
    QAction* acPreflight = nullptr;
    QAction* acContent = nullptr;
    QAction* acHomePage = nullptr;
    QAction* acAbout = nullptr;
    QAction* Exit1 = nullptr;  // the "E&xit" menu entry (not an action): closes the window

    TFindDialog* FindDialog = nullptr;  // modeless, lives with the window
    std::unique_ptr<TMostRecentUsedList> MostRecentUsedList1;
};

}  // namespace mv::ui
