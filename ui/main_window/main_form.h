// The main window (TMainForm): every command of the program as one action
// each, the menus, the tool bar, the list's context menu and the status bar,
// over the open project (TProject, handed to it), which owns the list, its
// file and the runs. The window keeps only widgets and commands.
//
// The commands are spread over files by feature, each with its own Wire...()
// that connects its actions to its handlers:
//   main_form.cpp              creation, caption, closing, destruction
//   main_form_actions.cpp      the action table, menus, tool bar, context menu
//   command_states.cpp         which commands are enabled, from named facts
//   project_commands.cpp       New, Open..., Save, Save As..., the modified prompt
//   check_run_commands.cpp     "&Check", "S&top", "Check on the C&luster",
//                              "C&heck the Rest" and what a run shows
//   journal_commands.cpp       the journal of an interrupted check: the questions
//   selection_commands.cpp     the selection, the check-mark press
//   filter_commands.cpp        "S&how": which rows the list shows
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
// Every handler runs through RunCommand (common/error_display.h): one entry
// into the core, where it may raise a user error (shown in the error box) or
// call Abort() (a silent end).
#pragma once

#include <QMainWindow>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "common/file_dialog.h"
#include "main_window/command_states.h"
#include "open_project/project.h"

class QAction;
class QActionGroup;
class QMenu;
class QMimeData;
class QUrl;

namespace mv {
class TINI;
}  // namespace mv

namespace mv::ui {

class RecipientListView;
class RecipientModel;
class RowFilterModel;
class RunWarningBar;
class StatusPanels;
class TFindDialog;
class TMostRecentUsedList;
enum class RowFilter;

class TMainForm : public QMainWindow {
    Q_OBJECT
  public:
    // `ini` and `project` outlive the window.
    TMainForm(TINI& ini, TProject& project, QWidget* parent = nullptr);
    ~TMainForm() override;  // FormDestroy

    // Start-up's last step: opens the first argument (by its absolute path)
    // when its extension is ".mlt" (in any case); any other argument, or
    // none, starts a new project and offers an unsaved project whose check
    // was interrupted.
    void OpenStartArgument(const QStringList& arguments);

    // ---- The project, and the project's state the commands read ----
    TProject& Project() { return project_; }
    RecipientList& List() { return project_.List(); }
    bool Modified() const { return project_.Modified(); }
    void SetModified(bool modified) { project_.SetModified(modified); }
    const QString& ProjectFileName() const { return project_.ProjectFileName(); }
    bool Running() const { return project_.Running(); }

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
    // Applies every command's rule (command_states.h) to the facts as they
    // are now; called whenever one of them changes.
    void UpdateCommandStates();
    CommandFacts Facts() const;
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
    void CreateFilterActions();
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
    void WireFilterCommands();
    void WireHelpCommands();
    void WireOptionsAboutCommands();
    void WirePreflightCommands();
    void WireRecipientCommands();
    void WireFindCommands();
    void WireLogCommands();
    void WireRecentFiles();
    void WireImportExportCommands();
    void WireSummaryCommands();
    void WireCommandStates();

    // project_commands.cpp
    void acNewExecute();
    void acOpenExecute();
    void acSaveExecute();
    void acSaveAsExecute();
    void ClearProject();
    ListBounds ListViewBounds() const;  // stored with the project

    // journal_commands.cpp (the journal of an interrupted check)
    // Asks whether to apply the journal left beside `fileName`; Cancel aborts.
    bool AskAboutJournal(const QString& fileName);
    // After the project was opened: applies the journal or keeps it declined.
    void TakeJournal(bool apply);
    void SettleJournalAfterSave(const QString& fileName);
    // At start-up: offers the unsaved projects whose check was interrupted.
    void OfferInterruptedUnsavedProject();

    // check_run_commands.cpp
    void acStartExecute();
    void acAbortExecute();
    void acCheckOnClusterExecute();
    // "Check on the C&luster" is in the menu while Cluster/Redis is set.
    void UpdateClusterCommand();
    void acCheckRestExecute();
    void RunningChanged(bool running);
    void ScheduleFrame();
    void ShowRunFrame();

    // selection_commands.cpp
    void ListView1SelectItem();
    void ListView1CheckMarkPressed(size_t row);

    // filter_commands.cpp
    void ShowRows(RowFilter filter);
    void UpdateShowingPanel();
    // The rows the commands on "every row" act on: those shown.
    bool FilterShowsAll() const;

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
    // Gives every shown row the mark `mark(current mark)`.
    void MarkShownRows(int32_t (*mark)(int32_t current));

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

    TINI& ini_;
    TProject& project_;
    FileDialog fileDialog_;  // remembers a folder per purpose
    bool busyCursor_ = false;

    // What a run shows is gathered and drawn once per frame.
    QTimer runFrame_;
    bool statusPending_ = false;
    std::optional<size_t> revealPending_;

    RecipientModel* model_ = nullptr;
    RowFilterModel* shown_ = nullptr;  // the rows the list shows
    RecipientListView* ListView1 = nullptr;
    RunWarningBar* RunWarningBar1 = nullptr;  // above the list
    StatusPanels* StatusBar1 = nullptr;
    QMenu* fileMenu_ = nullptr;
    QMenu* recipientMenu_ = nullptr;
    QMenu* showMenu_ = nullptr;
    QMenu* PopupMenu1 = nullptr;
    // The recently used files go into the "&File" menu just before this
    // separator (the one above "E&xit").
    QAction* recentFilesAnchor_ = nullptr;
    // Each rule of command_states.h with its action, and the rows fact as
    // the rules last saw it.
    std::vector<std::pair<QAction*, CommandRule>> commandRules_;
    bool factRows_ = false;

    // The action list. Each is named after itself (QObject::objectName).
    QAction* acNew = nullptr;
    QAction* acOpen = nullptr;
    QAction* acSave = nullptr;
    QAction* acSaveAs = nullptr;
    QAction* acStart = nullptr;
    QAction* acAbort = nullptr;
    QAction* acCheckOnCluster = nullptr;
    QAction* acCheckRest = nullptr;
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
    QAction* Exit1 = nullptr;        // the "E&xit" menu entry (not an action): closes the window
    QActionGroup* acShow = nullptr;  // "S&how": one radio entry per RowFilter

    TFindDialog* FindDialog = nullptr;  // modeless, lives with the window
    std::unique_ptr<TMostRecentUsedList> MostRecentUsedList1;
};

}  // namespace mv::ui
