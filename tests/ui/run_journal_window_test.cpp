// The run journal in the window: a check interrupted (the window gone while
// a row is still checking) is offered at the next start, for a saved project
// and for one never saved; a save, or discarding a run's changes, ends it.
#include <QRegularExpression>

#include "modal_driver.h"
#include "project/journal/journal_file.h"
#include "window_suite.h"

using mv::test::ModalDriver;

namespace {

const char* const kWorld =
    "host mx.ok.test users=valid\nhost mx.late.test delay=60000\n"
    "domain ok.test mx 10 mx.ok.test\ndomain late.test mx mx.late.test\n";
const std::vector<mv::test::TestRow> kRows = {
    {"valid@ok.test", ""}, {"nobody@ok.test", ""}, {"someone@late.test", ""}};

}  // namespace

class RunJournalWindowTest : public mv::test::WindowSuite {
    Q_OBJECT
    std::unique_ptr<mv::test::FakeWorld> world_;
    std::filesystem::path project() { return *dir_ / "list.mlt"; }
    QString projectName() { return QString::fromStdString(project().string()); }
    bool journalLeft() { return std::filesystem::exists(mv::JournalPathOf(project())); }
    bool stateLeft() {  // files in the state folder
        std::error_code none;
        return !std::filesystem::is_empty(*dir_ / "config/state/Corvane/Mailvetter", none) && !none;
    }
    void startWindow(bool saved) {
        OpenWindowOn(*world_);
        window_->ini().ilFrom.SetText("checker@probe.test");
        window_->ini().ilTimeOut.SetAsInteger(30);
        form().OpenStartArgument(saved ? QStringList{projectName()} : QStringList{});
    }
    // A run over kRows whose window goes, as in a crash, while the late row
    // is still checking: its journal holds the two other results.
    void interruptRun(bool saved) {
        if (saved) mv::test::WriteProject(project(), kRows);
        startWindow(saved);
        mv::RecipientRow added;
        for (size_t i = 0; !saved && i < kRows.size(); ++i) {
            added.caption = kRows[i].caption;
            list().AppendRow(added);
        }
        act("acStart")->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(list().SubItem(1, 0), std::string("[550] Mailbox unavailable"),
                                  10000);
        QVERIFY(form().Running());
    }

  private slots:
    void initTestCase() { world_ = std::make_unique<mv::test::FakeWorld>(kWorld); }
    void cleanupTestCase() { world_.reset(); }
    void init() { StartCase(); }
    void cleanup() {
        QCOMPARE(driver_->Unexpected(), QStringList());
        EndCase();
    }

    void anInterruptedCheckIsOfferedAtTheNextStart_data() {
        QTest::addColumn<bool>("saved");
        QTest::addColumn<int>("answer");
        QTest::addColumn<int>("rows");   // 0: nothing opened
        QTest::addColumn<bool>("kept");  // the journal (with the list of a project never saved)
        QTest::newRow("saved, Yes applies") << true << int(QMessageBox::Yes) << 3 << true;
        QTest::newRow("saved, No keeps") << true << int(QMessageBox::No) << 3 << true;
        QTest::newRow("saved, Cancel") << true << int(QMessageBox::Cancel) << 0 << true;
        QTest::newRow("unsaved, Yes opens") << false << int(QMessageBox::Yes) << 3 << true;
        QTest::newRow("unsaved, No deletes") << false << int(QMessageBox::No) << 0 << false;
    }
    void anInterruptedCheckIsOfferedAtTheNextStart() {
        QFETCH(bool, saved);
        QFETCH(int, answer);
        QFETCH(int, rows);
        QFETCH(bool, kept);
        interruptRun(saved);
        driver_->Expect(ModalDriver::Press(QMessageBox::StandardButton(answer)));
        startWindow(saved);
        const QString question = driver_->Seen().at(0).text;
        QVERIFY2(QRegularExpression(saved ? "^The last check of this project was interrupted. "
                                            "Apply the 2 results it had found\\?$"
                                          : "^A check of an unsaved project was interrupted on "
                                            "\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d \\(2 results\\)\\. "
                                            "Open it\\?$")
                     .match(question)
                     .hasMatch(),
                 qPrintable(question));
        QCOMPARE(int(list().RowCount()), rows);
        const bool applied = answer == QMessageBox::Yes;
        if (rows > 0) {
            QCOMPARE(list().SubItem(0, 0) == "[0] Valid E-mail Address!", applied);
            QCOMPARE(list().SubItem(1, 0) == "[550] Mailbox unavailable", applied);
            QCOMPARE(list().SubItem(2, 0), std::string());  // it never reported
            QCOMPARE(form().Modified(), applied);
            QCOMPARE(form().ProjectFileName().isEmpty(), !saved);
        }
        QCOMPARE(saved ? journalLeft() : stateLeft(), kept);
    }

    void theJournalEndsWithASaveOrDiscardedChanges_data() {
        QTest::addColumn<bool>("saved");
        QTest::addColumn<QString>("ending");
        QTest::addColumn<bool>("kept");
        QTest::newRow("saved: Save") << true << "save" << false;
        QTest::newRow("saved: No to the modified prompt") << true << "discard" << false;
        QTest::newRow("unsaved: Save As") << false << "save" << false;
        QTest::newRow("unsaved: No to the modified prompt") << false << "discard" << false;
        QTest::newRow("declined, then Save: Discard? Yes") << true << "declined Yes" << false;
        QTest::newRow("declined, then Save: Discard? No") << true << "declined No" << true;
    }
    void theJournalEndsWithASaveOrDiscardedChanges() {
        QFETCH(bool, saved);
        QFETCH(QString, ending);
        QFETCH(bool, kept);
        interruptRun(saved);
        act("acAbort")->trigger();  // the run ends as the user asked
        QTRY_VERIFY_WITH_TIMEOUT(!form().Running(), 10000);
        if (ending.startsWith("declined")) {
            driver_->Expect(ModalDriver::Press(QMessageBox::No));  // the journal is not applied
            startWindow(true);
            driver_->Expect(
                ModalDriver::Press(ending.endsWith("Yes") ? QMessageBox::Yes : QMessageBox::No));
            act("acSave")->trigger();
            QCOMPARE(driver_->Seen().back().text,
                     QStringLiteral("Discard the 3 results of the interrupted check?"));
        } else {
            if (!saved && ending == "save") driver_->Expect(ModalDriver::ChooseFile(projectName()));
            if (ending == "discard") driver_->Expect(ModalDriver::Press(QMessageBox::No));
            act(ending == "save" ? "acSave" : "acNew")->trigger();
        }
        QCOMPARE(journalLeft(), kept);
        QCOMPARE(mv::ui::TProject::JournalLeftBeside(projectName()).pending, kept);
        QVERIFY(!stateLeft());
    }
};

MV_UI_TEST_MAIN(RunJournalWindowTest)
#include "run_journal_window_test.moc"
