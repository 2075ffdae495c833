// The main window as a user meets it: its layout and commands, the project
// commands with the modified prompt, closing, the remembered maximised state,
// the error display, the check-mark press, dropped files and help.
#include <QDir>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QMimeData>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QToolBar>
#include <QUrl>
#include <stdexcept>

#include "common/app_info.h"
#include "common/error_display.h"
#include "main_window/command_states.h"
#include "main_window/recipient_list_view.h"
#include "main_window/run_warning_bar.h"
#include "main_window/status_panels.h"
#include "modal_driver.h"
#include "project/stream/project_stream.h"
#include "recent_files/most_recent_used_list.h"
#include "ui_test_support.h"
#include "window_suite.h"

using mv::test::ModalDriver;

Q_DECLARE_METATYPE(mv::ui::CommandFacts)

class MainWindowTest : public mv::test::WindowSuite {
    Q_OBJECT
  private:
    QString path(const char* name) { return QString::fromStdString((*dir_ / name).string()); }
    void giveRows(int count);
    void verifyNoSurprises();

  private slots:
    void init();
    void cleanup();

    void layoutAsSpecified();
    void commandsAsSpecified_data();
    void commandsAsSpecified();
    void menusAndToolBarAsSpecified();
    void shortcutsReachTheirCommandsFromTheList();
    void saveAsNamesTheProjectAndKeepsTheName();
    void modifiedPromptBeforeNew_data();
    void modifiedPromptBeforeNew();
    void openReadsTheChosenProject();
    void failedOpenKeepsTheNameAndReports();
    void failedSaveReportsAndStaysModified();
    void startArgumentDecides_data();
    void startArgumentDecides();
    void closingAsksAndCanBeRefused();
    void maximizedIsRememberedAcrossStarts();
    void programOptions_data();
    void programOptions();
    void errorBoxTextRule_data();
    void errorBoxTextRule();
    void errorsReachOneBoxAndAbortsStaySilent();
    void pressNearLeftEdgeTogglesTheMark_data();
    void pressNearLeftEdgeTogglesTheMark();
    void droppedProjectFileIsOpened();
    void helpAndHomePageUseTheDesktopOpener();
    void selectionDecidesTheRowCommands();
    void commandStatesFollowTheFacts_data();
    void commandStatesFollowTheFacts();
    void statusPanelsStayBesideHints();
    void handlerFailuresShowOncePerMessage();
    void dividerDoubleClickFitsTheColumn();
};

void MainWindowTest::init() {
    StartCase();
    OpenWindow();
    form().OpenStartArgument({});
}

void MainWindowTest::cleanup() {
    EndCase();
}

void MainWindowTest::giveRows(int count) {
    for (int i = 0; i < count; ++i) {
        mv::RecipientRow row;
        row.caption = "user" + std::to_string(i) + "@example.test";
        form().List().AppendRow(row);
    }
}

void MainWindowTest::verifyNoSurprises() {
    QCOMPARE(driver_->Unexpected(), QStringList());
    QCOMPARE(driver_->Pending(), size_t{0});
}

void MainWindowTest::layoutAsSpecified() {
    QCOMPARE(form().size(), QSize(648, 526));
    QCOMPARE(form().minimumSize(), QSize(300, 100));
    QCOMPARE(form().windowTitle(), QStringLiteral("Mailvetter - [New Project]  "));
    const QAbstractItemModel* model = form().ListView()->model();
    QCOMPARE(model->columnCount(), 2);
    QCOMPARE(model->headerData(0, Qt::Horizontal).toString(), QStringLiteral("Email"));
    QCOMPARE(model->headerData(1, Qt::Horizontal).toString(), QStringLiteral("Result"));
    QCOMPARE(form().ListView()->columnWidth(0), 120);
    QCOMPARE(form().ListView()->columnWidth(1), 290);
    const QPoint centre = form().screen()->availableGeometry().center();
    QVERIFY((form().geometry().center() - centre).manhattanLength() <= 2);
    const QStringList idle = {"Elapsed:", "Total:", "Waiting:", "Good:", "Bad:"};
    for (int i = 0; i < 5; ++i)
        QCOMPARE(form().StatusBar()->PanelText(i), idle[i]);
    form().show();  // the panels' widths are the status bar's layout
    QVERIFY(QTest::qWaitForWindowExposed(&form()));
    for (const QLabel* panel : form().StatusBar()->findChildren<QLabel*>())
        if (!panel->isHidden()) QCOMPARE(panel->width(), 120);  // the others wait hidden
    QCOMPARE(form().AddColumn("City", 120), size_t{2});
    QCOMPARE(form().ListView()->columnWidth(2), 120);
    QVERIFY(form().acceptDrops());
    QVERIFY(form().isEnabled());
}

void MainWindowTest::commandsAsSpecified_data() {
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("hint");
    QTest::addColumn<QKeySequence>("shortcut");
    QTest::addColumn<bool>("enabled");
    const QKeySequence none;
    struct Row {
        const char* name;
        const char* caption;
        const char* hint;
        QKeySequence shortcut;
        bool enabled;
    };
    const Row rows[] = {
        {"acNew", "&New", "New project", none, true},
        {"acOpen", "&Open...", "Open project", none, true},
        {"acSave", "&Save", "Save project", none, true},
        {"acSaveAs", "Save &As...", "Save project as", none, true},
        {"acStart", "&Check", "Start checking addresses", none, true},
        {"acAbort", "S&top", "Stop checking addresses", none, false},
        // Hidden, and so disabled, until a cluster is set (Tools | Options).
        {"acCheckOnCluster", "Check on the C&luster", "Check the marked addresses on the cluster",
         none, false},
        {"acCheckRest", "C&heck the Rest", "Check the marked addresses that have no result yet",
         none, true},
        {"acRecipientAdd", "&New...", "New Recipient", none, true},
        {"acRecipientEdit", "&Properties...", "Edit recipient", none, false},
        {"acRecipientDelete", "&Delete...", "Delete recipient", none, false},
        {"acRecipientDeleteSelected", "D&elete All Checked...", "Delete all checked recipients",
         none, true},
        {"acCheckAll", "&Check All", "Check all recipients", QKeySequence("Ctrl+A"), true},
        {"acUnCheckAll", "&Uncheck All", "Uncheck all recipients", none, true},
        {"acInvertSelection", "&Invert Selection", "Invert selection", QKeySequence("Ctrl+I"),
         true},
        {"acCheck", "&Check / Uncheck", "Check or uncheck recipient", none, false},
        {"acViewLog", "&View Log...", "View the transaction log for this recipient", none, false},
        {"acImportRecipient", "&Import Recipient List...", "Import Recipient List", none, true},
        {"acExportRecipient", "&Export Recipient List...", "Export Recipient List", none, true},
        {"acFind", "&Find...", "Find recipient", none, false},
        {"acFindNext", "Find &Next", "Find next recipient", QKeySequence("F3"), false},
        {"acOptions", "&Options...", "Open Options dialog box", none, true},
        {"acSummary", "&Summary...", "Show what the results add up to", none, false},
        {"acPreflight", "Check This &Computer...",
         "Check whether this computer can check addresses", none, true},
        {"acContent", "&Contents...", "Open the online help", none, true},
        {"acHomePage", "&Corvane Software Home Page...", "", none, true},
        {"acAbout", "&About Mailvetter....", "About Mailvetter", none, true},
    };
    for (const Row& r : rows)
        QTest::newRow(r.name) << r.caption << r.hint << r.shortcut << r.enabled;
}

void MainWindowTest::commandsAsSpecified() {
    QFETCH(QString, caption);
    QFETCH(QString, hint);
    QFETCH(QKeySequence, shortcut);
    QFETCH(bool, enabled);
    const QAction* a = act(QTest::currentDataTag());
    QVERIFY(a != nullptr);
    QCOMPARE(a->text(), caption);
    if (!hint.isEmpty()) QCOMPARE(a->toolTip(), hint);
    QCOMPARE(a->shortcut(), shortcut);
    QCOMPARE(a->isEnabled(), enabled);
}

void MainWindowTest::menusAndToolBarAsSpecified() {
    auto menu = [this](const char* name) {
        return mv::test::Entries(form().findChild<QMenu*>(QString::fromLatin1(name)));
    };
    QCOMPARE(menu("File1"),
             QStringList({"&New", "&Open...", "&Save", "Save &As...", "-", "&Check", "S&top",
                          "C&heck the Rest", "-", "&Recipient>", "&Import Recipient List...",
                          "&Export Recipient List...", "-", "E&xit"}));
    QCOMPARE(menu("Recipient1"),
             QStringList({"&New...", "&Properties...", "&Delete...", "D&elete All Checked...", "-",
                          "&Check All", "&Uncheck All", "&Invert Selection", "-", "&View Log..."}));
    QCOMPARE(menu("Search1"), QStringList({"&Find...", "Find &Next", "-", "S&how>"}));
    QCOMPARE(menu("Show1"), QStringList({"&All", "&Deliverable", "&Risky", "&Undeliverable",
                                         "Un&known", "&Not checked"}));
    QVERIFY(act("acShowAll")->isChecked());
    QCOMPARE(menu("Tools1"),
             QStringList({"&Options...", "&Summary...", "Check This &Computer..."}));
    QCOMPARE(menu("Help1"), QStringList({"&Contents...", "-", "&Corvane Software Home Page...", "-",
                                         "&About Mailvetter...."}));
    QCOMPARE(menu("PopupMenu1"), QStringList({"&New...", "&Properties...", "&Delete...", "-",
                                              "&Check / Uncheck", "-", "&View Log..."}));
    QCOMPARE(act("acContent")->statusTip(), QStringLiteral("Open the help file"));
    const QStringList bar = mv::test::Entries(form().findChild<QToolBar*>("ToolBar1"));
    QCOMPARE(bar, QStringList({"&New", "&Open...", "&Save", "-", "&Find...", "-", "&Check", "S&top",
                               "-", "&Options..."}));
}

void MainWindowTest::shortcutsReachTheirCommandsFromTheList() {
    giveRows(2);
    form().ListView()->SelectRow(0);
    form().show();
    QVERIFY(QTest::qWaitForWindowActive(&form()));
    form().ListView()->setFocus();
    for (const char* name : {"acCheckAll", "acInvertSelection", "acFindNext"}) {
        QSignalSpy triggered(act(name), &QAction::triggered);
        const QKeySequence keys = act(name)->shortcut();
        QTest::keySequence(form().ListView(), keys);
        QVERIFY2(triggered.count() == 1, name);
    }
}

void MainWindowTest::saveAsNamesTheProjectAndKeepsTheName() {
    giveRows(2);
    form().SetModified(true);
    driver_->Expect(ModalDriver::ChooseFile(path("customers")));  // the extension is added
    act("acSaveAs")->trigger();
    verifyNoSurprises();
    QVERIFY(QFileInfo::exists(path("customers.mlt")));
    QCOMPARE(form().ProjectFileName(), path("customers.mlt"));
    QCOMPARE(form().windowTitle(), QStringLiteral("Mailvetter - [customers.mlt]  "));
    QVERIFY(!form().Modified());

    // The next Save As offers the same name; overwriting it asks first.
    QString offered;
    driver_->Expect([&](QDialog* d) {
        offered = qobject_cast<QFileDialog*>(d)->selectedFiles().value(0);
        ModalDriver::ChooseFile(path("customers.mlt"))(d);
    });
    driver_->Expect(ModalDriver::Press(QMessageBox::Yes));
    act("acSaveAs")->trigger();
    verifyNoSurprises();
    QCOMPARE(offered, path("customers.mlt"));
    QCOMPARE(driver_->Seen().back().className, QStringLiteral("QMessageBox"));

    // Save with a name writes without a dialog.
    form().List().SetCaption(0, "changed@example.test");
    form().SetModified(true);
    act("acSave")->trigger();
    verifyNoSurprises();
    QVERIFY(!form().Modified());
    mv::RecipientList back;
    mv::LoadProjectFile(back, (*dir_ / "customers.mlt"));
    QCOMPARE(std::string(back.Caption(0)), std::string("changed@example.test"));
}

void MainWindowTest::modifiedPromptBeforeNew_data() {
    QTest::addColumn<int>("answer");       // pressed in the "Confirm" box
    QTest::addColumn<bool>("cancelSave");  // the Save As dialog that Yes opens is cancelled
    QTest::addColumn<bool>("cleared");     // the New went ahead
    QTest::newRow("cancel") << int(QMessageBox::Cancel) << false << false;
    QTest::newRow("no") << int(QMessageBox::No) << false << true;
    QTest::newRow("yes, save as cancelled") << int(QMessageBox::Yes) << true << false;
    QTest::newRow("yes, saved") << int(QMessageBox::Yes) << false << true;
}

void MainWindowTest::modifiedPromptBeforeNew() {
    QFETCH(int, answer);
    QFETCH(bool, cancelSave);
    QFETCH(bool, cleared);
    giveRows(3);
    form().List().AddColumn("City", 120);
    form().SetModified(true);
    driver_->Expect(ModalDriver::Press(static_cast<QMessageBox::StandardButton>(answer)));
    if (answer == QMessageBox::Yes)
        driver_->Expect(cancelSave ? ModalDriver::Reject()
                                   : ModalDriver::ChooseFile(path("kept.mlt")));
    act("acNew")->trigger();
    verifyNoSurprises();
    const mv::test::SeenDialog& prompt = driver_->Seen().front();
    QCOMPARE(prompt.title, QStringLiteral("Confirm"));
    QCOMPARE(prompt.text,
             QStringLiteral("Project has been modified.  Would you like to save before?"));
    QCOMPARE(prompt.icon, QMessageBox::Question);
    QCOMPARE(form().List().RowCount(), cleared ? size_t{0} : size_t{3});
    QCOMPARE(form().List().ColumnCount(), cleared ? size_t{2} : size_t{3});
    QCOMPARE(form().Modified(), !cleared);
    QCOMPARE(form().windowTitle(), QStringLiteral("Mailvetter - [New Project]  "));
    if (answer == QMessageBox::Yes && !cancelSave) QVERIFY(QFileInfo::exists(path("kept.mlt")));
}

void MainWindowTest::openReadsTheChosenProject() {
    mv::test::WriteProject(*dir_ / "list.mlt", {{"a@example.test", "[0] Valid E-mail Address!",
                                                 mv::kIconValid, mv::kMarkUnchecked},
                                                {"b@example.test", "", -1, 1}});
    giveRows(1);
    form().SetModified(true);
    driver_->Expect(ModalDriver::Press(QMessageBox::No));
    driver_->Expect(ModalDriver::ChooseFile(path("list.mlt")));
    act("acOpen")->trigger();
    verifyNoSurprises();
    QCOMPARE(form().List().RowCount(), size_t{2});
    QCOMPARE(form().ListView()->model()->index(0, 1).data().toString(),
             QStringLiteral("[0] Valid E-mail Address!"));
    QCOMPARE(form().windowTitle(), QStringLiteral("Mailvetter - [list.mlt]  "));
    QVERIFY(!form().Modified());
    QVERIFY(form().List().TranscriptOf(0).empty());
}

void MainWindowTest::failedOpenKeepsTheNameAndReports() {
    mv::test::WriteFile(*dir_ / "broken.mlt", "this is no project");
    giveRows(2);
    form().SetModified(true);
    driver_->Expect(ModalDriver::Press(QMessageBox::No));
    driver_->Expect(ModalDriver::ChooseFile(path("broken.mlt")));
    driver_->Expect(ModalDriver::Press(QMessageBox::Ok));
    act("acOpen")->trigger();
    verifyNoSurprises();
    QCOMPARE(driver_->Seen().back().title, QStringLiteral("Mailvetter"));
    QCOMPARE(driver_->Seen().back().icon, QMessageBox::Critical);
    QCOMPARE(driver_->Seen().back().text, QStringLiteral("Invalid stream format."));
    QCOMPARE(form().windowTitle(), QStringLiteral("Mailvetter - [broken.mlt]  "));
    QVERIFY(!form().Modified());

    // A file that cannot be opened leaves the earlier rows.
    driver_->Expect(ModalDriver::Press(QMessageBox::Ok));
    form().OpenStartArgument({path("missing.mlt")});
    verifyNoSurprises();
    QCOMPARE(driver_->Seen().back().text, "Cannot open file " + path("missing.mlt") + ".");
    QCOMPARE(form().windowTitle(), QStringLiteral("Mailvetter - [missing.mlt]  "));
    QCOMPARE(form().ProjectFileName(), path("missing.mlt"));
}

void MainWindowTest::failedSaveReportsAndStaysModified() {
    std::filesystem::create_directory(*dir_ / "gone");
    mv::test::WriteProject(*dir_ / "gone" / "p.mlt", {{"a@example.test", "", -1, 1}});
    form().OpenStartArgument({path("gone/p.mlt")});
    std::filesystem::remove_all(*dir_ / "gone");
    form().SetModified(true);
    driver_->Expect(ModalDriver::Press(QMessageBox::Ok));
    act("acSave")->trigger();
    verifyNoSurprises();
    const mv::test::SeenDialog& box = driver_->Seen().back();
    QCOMPARE(box.title, QStringLiteral("Mailvetter"));
    QCOMPARE(box.icon, QMessageBox::Critical);
    QCOMPARE(box.text, "Cannot create file " + path("gone/p.mlt") + ".");
    QVERIFY(form().Modified());
}

void MainWindowTest::startArgumentDecides_data() {
    QTest::addColumn<QString>("argument");
    QTest::addColumn<bool>("opened");
    QTest::newRow("capitals") << "PROJECT.MLT" << true;
    QTest::newRow("mixed") << "project.Mlt" << true;
    QTest::newRow("text file") << "project.txt" << false;
    QTest::newRow("none") << "" << false;
    QTest::newRow("relative to the working folder") << "./project.mlt" << true;
}

void MainWindowTest::startArgumentDecides() {
    QFETCH(QString, argument);
    QFETCH(bool, opened);
    if (opened)
        mv::test::WriteProject(*dir_ / QFileInfo(argument).fileName().toStdString(),
                               {{"a@x.test", "", -1, 1}});
    mv::test::WriteFile(*dir_ / "project.txt", "a@x.test\n");
    mv::test::WindowUnderTest second(*dir_ / "config", loop_->loop());
    const bool relative = argument.startsWith("./");
    const QString before = QDir::currentPath();
    QDir::setCurrent(path(""));  // a relative argument names a file of the working folder
    second.form().OpenStartArgument(argument.isEmpty() ? QStringList()
                                    : relative         ? QStringList{argument}
                                                       : QStringList{path("") + argument});
    QDir::setCurrent(before);
    verifyNoSurprises();
    QCOMPARE(second.form().List().RowCount(), opened ? size_t{1} : size_t{0});
    const QString name = QFileInfo(argument).fileName();
    QCOMPARE(second.form().windowTitle(),
             opened ? "Mailvetter - [" + name + "]  " : "Mailvetter - [New Project]  ");
    // Remembered by its full path, so that it opens from any folder later.
    if (opened) QCOMPARE(second.form().RecentFiles()->Filenames().value(0), path("") + name);
}

void MainWindowTest::closingAsksAndCanBeRefused() {
    form().show();
    giveRows(1);
    form().SetModified(true);
    driver_->Expect(ModalDriver::Press(QMessageBox::Cancel));
    QVERIFY(!form().close());
    QVERIFY(form().isVisible());
    driver_->Expect(ModalDriver::Press(QMessageBox::No));
    QVERIFY(form().close());
    verifyNoSurprises();
}

void MainWindowTest::maximizedIsRememberedAcrossStarts() {
    const std::filesystem::path config = *dir_ / "starts";
    {
        mv::test::WindowUnderTest first(config, loop_->loop());
        QVERIFY(!first.form().isMaximized());
        first.form().showMaximized();
    }
    {
        mv::test::WindowUnderTest second(config, loop_->loop());
        QVERIFY(second.form().windowState() & Qt::WindowMaximized);
        second.form().showNormal();
    }
    mv::test::WindowUnderTest third(config, loop_->loop());
    QVERIFY(!(third.form().windowState() & Qt::WindowMaximized));
}

void MainWindowTest::programOptions_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("action");
    QTest::addColumn<QString>("summary");  // overrides, then what is left for Qt and the window
    using Action = mv::ui::ProgramOptions::Action;
    QTest::newRow("nothing") << QStringList{} << int(Action::kRun) << "| mailvetter";
    QTest::newRow("overrides and a project")
        << QStringList{"--dns",
                       "127.0.0.1 127.0.0.2",
                       "--smtp-port=2525",
                       "-platform",
                       "offscreen",
                       "--dns-port",
                       "5353",
                       "p.mlt"}
        << int(Action::kRun)
        << "dns=127.0.0.1 127.0.0.2 dns-port=5353 smtp-port=2525 "
           "| mailvetter -platform offscreen p.mlt";
    QTest::newRow("help anywhere") << QStringList{"p.mlt", "--help"} << int(Action::kHelp) << "";
    QTest::newRow("version") << QStringList{"--version"} << int(Action::kVersion) << "";
    QTest::newRow("after --") << QStringList{"--", "--help"} << int(Action::kRun)
                              << "| mailvetter --help";
    QTest::newRow("port not a number")
        << QStringList{"--smtp-port", "smtp"} << int(Action::kUsageError)
        << "--smtp-port must be a port number from 1 to 65535, not 'smtp'";
    QTest::newRow("port out of range")
        << QStringList{"--dns-port=70000"} << int(Action::kUsageError)
        << "--dns-port must be a port number from 1 to 65535, not '70000'";
    QTest::newRow("value missing")
        << QStringList{"--dns"} << int(Action::kUsageError) << "--dns needs a value";
}

void MainWindowTest::programOptions() {
    QFETCH(QStringList, arguments);
    QFETCH(int, action);
    QFETCH(QString, summary);
    std::vector<std::string> storage{"mailvetter"};
    for (const QString& a : arguments)
        storage.push_back(a.toStdString());
    std::vector<const char*> argv;
    argv.reserve(storage.size());
    for (const std::string& a : storage)
        argv.push_back(a.c_str());
    const mv::ui::ProgramOptions o = mv::ui::ParseProgramOptions(int(argv.size()), argv.data());
    QCOMPARE(int(o.action), action);
    if (o.action == mv::ui::ProgramOptions::Action::kUsageError) {
        QCOMPARE(QString::fromStdString(o.error), summary);
        return;
    }
    if (o.action != mv::ui::ProgramOptions::Action::kRun) return;
    QString got;
    if (o.overrides.dns) got += "dns=" + QString::fromStdString(*o.overrides.dns) + " ";
    if (o.overrides.dnsPort) got += QStringLiteral("dns-port=%1 ").arg(*o.overrides.dnsPort);
    if (o.overrides.smtpPort) got += QStringLiteral("smtp-port=%1 ").arg(*o.overrides.smtpPort);
    got += "|";
    for (const std::string& a : o.remaining)
        got += " " + QString::fromStdString(a);
    QCOMPARE(got, summary);
}

void MainWindowTest::errorBoxTextRule_data() {
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("shown");
    QTest::newRow("letter") << "File /tmp/a.mlt has been deleted"
                            << "File /tmp/a.mlt has been deleted.";
    QTest::newRow("full stop") << "Done."
                               << "Done.";
    QTest::newRow("quote") << "Not found 'x'"
                           << "Not found 'x'";
    QTest::newRow("bracket") << "Nothing (Tools | Options)"
                             << "Nothing (Tools | Options)";
    QTest::newRow("digit") << "error 42"
                           << "error 42.";
    QTest::newRow("non-ASCII letter") << "Fehler: Größe"
                                      << "Fehler: Größe.";
    QTest::newRow("empty") << ""
                           << "";
}

void MainWindowTest::errorBoxTextRule() {
    QFETCH(QString, message);
    QFETCH(QString, shown);
    QCOMPARE(QString::fromStdString(mv::ui::ErrorBoxText(message.toStdString())), shown);
}

void MainWindowTest::errorsReachOneBoxAndAbortsStaySilent() {
    driver_->Expect(ModalDriver::Press(QMessageBox::Ok));
    QVERIFY(!form().RunCommand([] { throw mv::Exception("Nothing to check"); }));
    QVERIFY(!form().RunCommand([] { mv::ui::Abort(); }));
    verifyNoSurprises();
    QCOMPARE(driver_->Seen().size(), size_t{1});
    QCOMPARE(driver_->Seen()[0].title, QStringLiteral("Mailvetter"));
    QCOMPARE(driver_->Seen()[0].text, QStringLiteral("Nothing to check."));
    QCOMPARE(driver_->Seen()[0].icon, QMessageBox::Critical);

    // A user error of a command reaches the same box: Check on an empty list.
    driver_->Expect(ModalDriver::Press(QMessageBox::Ok));
    act("acStart")->trigger();
    verifyNoSurprises();
    QCOMPARE(driver_->Seen().back().text,
             QStringLiteral("Please open / fill the recipient list before."));
}

void MainWindowTest::pressNearLeftEdgeTogglesTheMark_data() {
    QTest::addColumn<int>("x");
    QTest::addColumn<int>("button");
    QTest::addColumn<bool>("toggles");
    QTest::newRow("left button on the box") << 4 << int(Qt::LeftButton) << true;
    QTest::newRow("right button at 15") << 15 << int(Qt::RightButton) << true;
    QTest::newRow("middle button") << 1 << int(Qt::MiddleButton) << true;
    QTest::newRow("at 16") << 16 << int(Qt::LeftButton) << false;
    QTest::newRow("at 20") << 20 << int(Qt::LeftButton) << false;
}

void MainWindowTest::pressNearLeftEdgeTogglesTheMark() {
    QFETCH(int, x);
    QFETCH(int, button);
    QFETCH(bool, toggles);
    giveRows(3);
    form().List().SetStateIndex(1, 7);  // any mark other than 1 counts as unchecked
    form().show();
    QVERIFY(QTest::qWaitForWindowExposed(&form()));
    mv::ui::RecipientListView* view = form().ListView();
    for (int row : {0, 1}) {
        const int y = view->rowViewportPosition(row) + view->rowHeight(row) / 2;
        QTest::mousePress(view->viewport(), Qt::MouseButton(button), {}, QPoint(x, y));
        QTest::mouseRelease(view->viewport(), Qt::MouseButton(button), {}, QPoint(x, y));
        QCOMPARE(view->SelectedRow(), std::optional<size_t>(row));
    }
    QCOMPARE(form().List().StateIndex(0), toggles ? mv::kMarkUnchecked : mv::kMarkChecked);
    QCOMPARE(form().List().StateIndex(1), toggles ? mv::kMarkChecked : 7);
    QCOMPARE(form().Modified(), toggles);
    // Below the last row there is no row to toggle.
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {},
                      QPoint(2, view->viewport()->height() - 2));
    QCOMPARE(form().List().StateIndex(2), mv::kMarkChecked);
    verifyNoSurprises();
}

void MainWindowTest::droppedProjectFileIsOpened() {
    mv::test::WriteProject(*dir_ / "dropped.mlt",
                           {{"a@x.test", "", -1, 1}, {"b@x.test", "", -1, 1}});
    QMimeData data;
    data.setUrls(
        {QUrl::fromLocalFile(path("notes.txt")), QUrl::fromLocalFile(path("dropped.mlt"))});
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, {});
    QApplication::sendEvent(&form(), &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, {});
    QApplication::sendEvent(&form(), &drop);
    QVERIFY(drop.isAccepted());
    QTRY_COMPARE(form().List().RowCount(), size_t{2});
    QCOMPARE(form().windowTitle(), QStringLiteral("Mailvetter - [dropped.mlt]  "));

    QMimeData text;
    text.setUrls({QUrl::fromLocalFile(path("notes.txt"))});
    QDragEnterEvent refused(QPoint(10, 10), Qt::CopyAction, &text, Qt::LeftButton, {});
    QApplication::sendEvent(&form(), &refused);
    QVERIFY(!refused.isAccepted());
    verifyNoSurprises();
}

void MainWindowTest::helpAndHomePageUseTheDesktopOpener() {
    QList<QUrl> opened;
    bool available = true;
    form().openUrl = [&](const QUrl& url) {
        opened << url;
        return available;
    };
    act("acContent")->trigger();
    act("acHomePage")->trigger();
    verifyNoSurprises();
    QCOMPARE(opened.size(), 2);
    QVERIFY(opened[0].isLocalFile());
    QVERIFY(opened[0].toLocalFile().endsWith("/share/doc/mailvetter/index.html"));
    QVERIFY(QFileInfo::exists(opened[0].toLocalFile()));
    QCOMPARE(opened[1], QUrl(QString::fromLatin1(mv::ui::kHomePageUrl)));

    available = false;
    driver_->Expect(ModalDriver::Press(QMessageBox::Ok));
    act("acHomePage")->trigger();
    verifyNoSurprises();
    QVERIFY(driver_->Seen().back().text.startsWith("Cannot open " +
                                                   QString::fromLatin1(mv::ui::kHomePageUrl)));
}

void MainWindowTest::selectionDecidesTheRowCommands() {
    giveRows(2);
    form().List().SetImageIndex(1, mv::kIconFailed);
    const char* rowCommands[] = {"acRecipientEdit", "acRecipientDelete", "acCheck", "acFind",
                                 "acFindNext"};
    for (std::optional<size_t> row :
         {std::optional<size_t>(0), std::optional<size_t>(1), std::optional<size_t>()}) {
        form().ListView()->SelectRow(row);
        for (const char* name : rowCommands)
            QVERIFY2(act(name)->isEnabled() == row.has_value(), name);
        QCOMPARE(act("acViewLog")->isEnabled(), row == std::optional<size_t>(1));
    }
}

void MainWindowTest::commandStatesFollowTheFacts_data() {
    QTest::addColumn<mv::ui::CommandFacts>("facts");
    QTest::addColumn<QStringList>("enabled");  // every other command with a rule is disabled
    const QStringList idle = {"acNew",
                              "acOpen",
                              "acStart",
                              "acCheckOnCluster",
                              "acCheckRest",
                              "acOptions",
                              "acPreflight",
                              "acRecipientAdd",
                              "acCheckAll",
                              "acUnCheckAll",
                              "acInvertSelection",
                              "acRecipientDeleteSelected",
                              "acImportRecipient",
                              "acExportRecipient"};
    const QStringList row = {"acRecipientEdit", "acRecipientDelete", "acCheck", "acFind",
                             "acFindNext"};
    using F = mv::ui::CommandFacts;
    QTest::newRow("new project") << F{} << idle;
    QTest::newRow("rows") << F{false, true, false, false} << idle + QStringList{"acSummary"};
    QTest::newRow("row selected") << F{false, true, true, false}
                                  << idle + row + QStringList{"acSummary"};
    QTest::newRow("checked row selected")
        << F{false, true, true, true} << idle + row + QStringList{"acSummary", "acViewLog"};
    QTest::newRow("running") << F{true, true, false, false} << QStringList{"acAbort", "acSummary"};
    QTest::newRow("running, checked row selected")
        << F{true, true, true, true}
        << QStringList{"acAbort", "acSummary", "acCheck", "acFind", "acFindNext", "acViewLog"};
}

void MainWindowTest::commandStatesFollowTheFacts() {
    QFETCH(mv::ui::CommandFacts, facts);
    QFETCH(QStringList, enabled);
    QStringList got;
    for (const mv::ui::CommandRule& rule : mv::ui::CommandRules()) {
        QVERIFY2(act(rule.action) != nullptr, rule.action);
        if (rule.enabled(facts)) got << QString::fromLatin1(rule.action);
    }
    got.sort();
    enabled.sort();
    QCOMPARE(got, enabled);
}

void MainWindowTest::statusPanelsStayBesideHints() {
    form().show();
    QVERIFY(QTest::qWaitForWindowExposed(&form()));
    mv::ui::StatusPanels* bar = form().StatusBar();
    const QList<QLabel*> counters = bar->findChildren<QLabel*>().mid(0, 5);
    const auto widths = [&counters] {
        QList<int> got;
        for (const QLabel* counter : counters)
            got << counter->width();
        return got;
    };
    const QList<int> full(5, mv::ui::StatusPanels::kPanelWidth);
    bar->showMessage("Open project");  // a menu entry's hint
    for (const QLabel* counter : counters)
        QVERIFY(counter->isVisible());
    QTRY_COMPARE(widths(), full);
    // A note: the counters give it room until a hint takes its place; Reset
    // (another project) ends it too.
    bar->ShowNote("The findings file beside this project is not one this program can read");
    QTRY_VERIFY(widths().at(0) < mv::ui::StatusPanels::kPanelWidth);
    bar->showMessage("Open project");
    QTRY_COMPARE(widths(), full);
    bar->ShowNote("a note");
    bar->Reset();
    QCOMPARE(bar->currentMessage(), QString());
    QTRY_COMPARE(widths(), full);
}

void MainWindowTest::handlerFailuresShowOncePerMessage() {
    mv::ui::RunWarningBar* bar = form().WarningBar();
    for (const char* message : {"boom", "bang", "boom"})
        loop_->loop().Post([message] { throw std::runtime_error(message); });
    QTRY_COMPARE(bar->FailureText(),
                 QStringLiteral("Internal error (2 times): boom\nInternal error: bang"));
    QVERIFY(!bar->isHidden());
    bar->findChild<QPushButton*>("btCloseFailures")->click();
    QVERIFY(bar->isHidden());
}

void MainWindowTest::dividerDoubleClickFitsTheColumn() {
    giveRows(1);
    form().List().SetCaption(0, "a.rather.long.address.for.the.column@example.test");
    form().show();
    QVERIFY(QTest::qWaitForWindowExposed(&form()));
    QHeaderView* header = form().ListView()->horizontalHeader();
    const QPoint divider(header->sectionViewportPosition(0) + header->sectionSize(0) - 1,
                         header->height() / 2);
    QTest::mouseDClick(header->viewport(), Qt::LeftButton, {}, divider);
    const QAbstractItemView* view = form().ListView();
    QCOMPARE(form().ListView()->columnWidth(0), view->sizeHintForColumn(0));
    QVERIFY(form().ListView()->columnWidth(0) > 120);
    QCOMPARE(form().List().Column(0).width, form().ListView()->columnWidth(0));  // saved with it
}

MV_UI_TEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
