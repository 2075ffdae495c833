// The recently used files: the list's own rules on a menu of its own, its
// place in the window's "&File" menu, what picking an entry does, the layout
// in the settings file, and that a killed program still offers the files it
// opened.
#include <QMenu>
#include <QSignalSpy>
#include <csignal>
#include <functional>

#include "main_window/status_panels.h"
#include "modal_driver.h"
#include "platform/error/exception.h"
#include "platform/settings_file/settings_file.h"
#include "recent_files/most_recent_used_list.h"
#include "settings/tini.h"
#include "subprocess.h"
#include "ui_test_support.h"
#include "window_suite.h"

using mv::test::ModalDriver;
using mv::ui::TMostRecentUsedList;

class RecentFilesTest : public mv::test::WindowSuite {
    Q_OBJECT
  private:
    std::filesystem::path config() { return *dir_ / "config"; }
    QString path(const std::string& name) {
        return QString::fromStdString((*dir_ / name).string());
    }
    QString project(const std::string& name);  // written, with one row
    mv::SettingsValues storedSection();
    static QStringList fileMenu(mv::ui::TMainForm& form);
    static QAction* entry(mv::ui::TMainForm& form, const QString& caption);

  private slots:
    void init();
    void cleanup();
    void addFilename_data();
    void addFilename();
    void menuToAttachIsRequired();
    void windowFileMenuAndStoreLayout();
    void pickedEntryStandsFirst();
    void deletedFileIsReportedAndKept();
    void killedProgramStillOffersItsFiles();
    void failedSaveIsToldOnceInTheStatusBar();
};

void RecentFilesTest::init() {
    StartCase();
}

void RecentFilesTest::cleanup() {
    QCOMPARE(driver_->Unexpected(), QStringList());
    QCOMPARE(driver_->Pending(), size_t{0});
    EndCase();
}

QString RecentFilesTest::project(const std::string& name) {
    mv::test::WriteProject(*dir_ / name, {{"a@x.test", "", mv::kIconNotChecked, 1}});
    return path(name);
}

mv::SettingsValues RecentFilesTest::storedSection() {
    const mv::SettingsFile file(mv::SettingsFile::PathForKey(mv::TINI::kKeyPath, config()));
    return file.ReadSection("MRU");
}

QStringList RecentFilesTest::fileMenu(mv::ui::TMainForm& form) {
    return mv::test::Entries(form.findChild<QMenu*>(QStringLiteral("File1")));
}

QAction* RecentFilesTest::entry(mv::ui::TMainForm& form, const QString& caption) {
    for (QAction* a : form.findChild<QMenu*>(QStringLiteral("File1"))->actions())
        if (a->text() == caption) return a;
    return nullptr;
}

void RecentFilesTest::addFilename_data() {
    QTest::addColumn<QStringList>("added");
    QTest::addColumn<QStringList>("menu");  // after the menu's own "Open" and "Exit"
    QTest::newRow("none: no separator") << QStringList{} << QStringList{"Open", "Exit"};
    QTest::newRow("six keep the five newest")
        << QStringList{"/p/1.mlt", "/p/2.mlt", "/p/3.mlt", "/p/4.mlt", "/p/5.mlt", "/p/6.mlt"}
        << QStringList{"Open",     "Exit",     "-",        "&1 6.mlt",
                       "&2 5.mlt", "&3 4.mlt", "&4 3.mlt", "&5 2.mlt"};
    QTest::newRow("a case variant moves up with its old spelling")
        << QStringList{"/p/One.mlt", "/p/two.mlt", "/P/ONE.MLT"}
        << QStringList{"Open", "Exit", "-", "&1 One.mlt", "&2 two.mlt"};
    QTest::newRow("an ampersand is no access key")
        << QStringList{"/p/Smith & Sons.mlt"}
        << QStringList{"Open", "Exit", "-", "&1 Smith && Sons.mlt"};
}

void RecentFilesTest::addFilename() {
    QFETCH(QStringList, added);
    QFETCH(QStringList, menu);
    QMenu file;
    file.addAction(QStringLiteral("Open"));
    file.addAction(QStringLiteral("Exit"));
    TMostRecentUsedList list(config());
    list.SetMenuToAttach(&file);
    list.Loaded();
    for (const QString& name : added)
        list.AddFilename(name);
    QCOMPARE(mv::test::Entries(&file), menu);
    if (!added.isEmpty()) QCOMPARE(list.Filenames().first().toLower(), added.last().toLower());
}

void RecentFilesTest::menuToAttachIsRequired() {
    TMostRecentUsedList list(config());
    for (const auto& step : {std::function<void()>([&] { list.Loaded(); }),
                             std::function<void()>([&] { list.AddFilename("/p/a.mlt"); })}) {
        try {
            step();
            QFAIL("no error");
        } catch (const mv::Exception& e) {
            QCOMPARE(QString::fromUtf8(e.what()),
                     QStringLiteral("MenuToAttach have to be assigned before"));
        }
    }
}

void RecentFilesTest::windowFileMenuAndStoreLayout() {
    // An older list: a count that is no number reads as an empty list, and
    // its stray values go with the first save.
    mv::SettingsFile old(mv::SettingsFile::PathForKey(mv::TINI::kKeyPath, config()));
    QVERIFY(old.CreateFolder());
    QVERIFY(
        old.WriteSection("MRU", {{"0", "/old/a.mlt"}, {"4", "/old/stale.mlt"}, {"Total", "many"}}));
    mv::test::WindowUnderTest window(config(), loop_->loop());
    window.form().OpenStartArgument({});
    QCOMPARE(fileMenu(window.form()).size(), 14);  // nothing added to the menu
    window.form().OpenProject(project("first.mlt"));
    window.form().OpenProject(project("second.mlt"));
    QCOMPARE(fileMenu(window.form()),
             QStringList({"&New", "&Open...", "&Save", "Save &As...", "-", "&Check", "S&top",
                          "C&heck the Rest", "-", "&Recipient>", "&Import Recipient List...",
                          "&Export Recipient List...", "-", "&1 second.mlt", "&2 first.mlt", "-",
                          "E&xit"}));
    // Saved at once, while the program still runs.
    const mv::SettingsValues expected = {{"0", path("second.mlt").toStdString()},
                                         {"1", path("first.mlt").toStdString()},
                                         {"Total", "2"}};
    QVERIFY(storedSection() == expected);
}

void RecentFilesTest::pickedEntryStandsFirst() {
    mv::test::WindowUnderTest window(config(), loop_->loop());
    window.form().OpenStartArgument({});
    for (const char* name : {"a.mlt", "b.mlt", "c.mlt"})
        window.form().OpenProject(project(name));
    window.form().SetModified(true);
    driver_->Expect(ModalDriver::Press(QMessageBox::No));  // the modified prompt
    entry(window.form(), QStringLiteral("&3 a.mlt"))->trigger();
    QCOMPARE(window.form().ProjectFileName(), path("a.mlt"));
    QCOMPARE(window.form().RecentFiles()->Filenames(),
             QStringList({path("a.mlt"), path("c.mlt"), path("b.mlt")}));
    QCOMPARE(storedSection().front().second, path("a.mlt").toStdString());
}

void RecentFilesTest::deletedFileIsReportedAndKept() {
    mv::test::WindowUnderTest window(config(), loop_->loop());
    window.form().OpenStartArgument({});
    window.form().OpenProject(project("gone.mlt"));
    window.form().OpenProject(project("here.mlt"));
    std::filesystem::remove(*dir_ / "gone.mlt");
    driver_->Expect(ModalDriver::Press(QMessageBox::Ok));
    entry(window.form(), QStringLiteral("&2 gone.mlt"))->trigger();
    QCOMPARE(driver_->Seen().back().text, "File " + path("gone.mlt") + " has been deleted.");
    QCOMPARE(driver_->Seen().back().icon, QMessageBox::Critical);
    QCOMPARE(window.form().ProjectFileName(), path("here.mlt"));
    QCOMPARE(window.form().RecentFiles()->Filenames(),
             QStringList({path("here.mlt"), path("gone.mlt")}));
}

void RecentFilesTest::killedProgramStillOffersItsFiles() {
    const QString opened = project("opened.mlt");
    mv::test::Subprocess program(
        {MV_MAILVETTER_PATH, opened.toStdString()}, "",
        {"QT_QPA_PLATFORM=offscreen", "XDG_CONFIG_HOME=" + config().string()});
    // The program has opened the project once its name is in the settings.
    QTRY_VERIFY_WITH_TIMEOUT(!storedSection().empty(), 30000);
    program.Signal(SIGKILL);
    QCOMPARE(program.Wait().termSignal, SIGKILL);
    mv::test::WindowUnderTest next(config(), loop_->loop());
    QVERIFY(entry(next.form(), QStringLiteral("&1 opened.mlt")) != nullptr);
    QCOMPARE(next.form().RecentFiles()->Filenames(), QStringList{opened});
}

void RecentFilesTest::failedSaveIsToldOnceInTheStatusBar() {
    OpenWindow();
    // The settings file cannot be replaced: a folder stands in its place.
    const auto file = mv::SettingsFile::PathForKey(mv::TINI::kKeyPath, config());
    std::filesystem::remove(file);
    std::filesystem::create_directories(file);
    QSignalSpy notes(form().StatusBar(), &QStatusBar::messageChanged);
    for (const char* name : {"a.mlt", "b.mlt", "a.mlt"})
        form().OpenProject(project(name));
    QStringList shown;
    for (const QList<QVariant>& note : notes)
        if (!note[0].toString().isEmpty()) shown << note[0].toString();
    QCOMPARE(shown.size(), 1);
    QVERIFY(shown[0].startsWith("The recently used files could not be saved"));
    QCOMPARE(form().RecentFiles()->Filenames().size(), 2);  // the menu has them all the same
}

MV_UI_TEST_MAIN(RecentFilesTest)
#include "recent_files_test.moc"
