// The run journal: an interrupted check is offered again; a save or a discard ends it.
#include <QRegularExpression>

#include "modal_driver.h"
#include "window_suite.h"

using mv::test::ModalDriver;

static const char* const kWorld =
    "host mx.ok.test users=valid\nhost mx.late.test delay=60000\n"
    "domain ok.test mx 10 mx.ok.test\ndomain late.test mx mx.late.test\n";
static const char* const kStateFolder = "config/state/Corvane/Mailvetter";
static const std::vector<mv::test::TestRow> kRows = {
    {"valid@ok.test", ""}, {"nobody@ok.test", ""}, {"someone@late.test", ""}};

class RunJournalWindowTest : public mv::test::WindowSuite {
    Q_OBJECT
    std::unique_ptr<mv::test::FakeWorld> world_;
    QString project() { return QString::fromStdString((*dir_ / "list.mlt").string()); }
    bool journalLeft() { return std::filesystem::exists(*dir_ / "list.mlt.journal"); }
    bool stateLeft() { return !std::filesystem::is_empty(*dir_ / kStateFolder); }
    void startWindow(bool saved) {
        OpenWindowOn(*world_);
        window_->ini().ilFrom.SetText("checker@probe.test");
        window_->ini().ilTimeOut.SetAsInteger(30);
        form().OpenStartArgument(saved ? QStringList{project()} : QStringList{});
    }
    // A run over kRows whose window goes, as in a crash, while the late row
    // is still checking: its journal holds the two other results.
    void interruptRun(bool saved) {
        if (saved) mv::test::WriteProject(std::filesystem::path(project().toStdString()), kRows);
        startWindow(saved);
        for (size_t i = 0; !saved && i < kRows.size(); ++i)
            list().AppendRow(
                {kRows[i].caption, {""}, mv::kIconNotChecked, mv::kMarkChecked, -1, {}, {}});
        act("acStart")->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(list().SubItem(1, 0), std::string("[550] Mailbox unavailable"),
                                  10000);
    }

  private slots:
    void initTestCase() { world_ = std::make_unique<mv::test::FakeWorld>(kWorld); }
    void init() { StartCase(); }
    void cleanup() {
        QCOMPARE(driver_->Unexpected(), QStringList());
        EndCase();
    }

    void anInterruptedCheckIsOfferedAtTheNextStart_data() {
        QTest::addColumn<bool>("saved");
        QTest::addColumn<int>("answer");
        QTest::newRow("saved, Yes applies") << true << int(QMessageBox::Yes);
        QTest::newRow("saved, No keeps") << true << int(QMessageBox::No);
        QTest::newRow("saved, Cancel opens nothing") << true << int(QMessageBox::Cancel);
        QTest::newRow("unsaved, Yes opens") << false << int(QMessageBox::Yes);
        QTest::newRow("unsaved, No deletes") << false << int(QMessageBox::No);
    }
    void anInterruptedCheckIsOfferedAtTheNextStart() {
        QFETCH(bool, saved);
        QFETCH(int, answer);
        interruptRun(saved);
        driver_->Expect(ModalDriver::Press(QMessageBox::StandardButton(answer)));
        startWindow(saved);
        QCOMPARE(QString(driver_->Seen().at(0).text)
                     .remove(QRegularExpression(" on [-0-9]{10} [0-9:]{5}")),
                 saved ? "The last check of this project was interrupted. Apply the 2 results it "
                         "had found?"
                       : "A check of an unsaved project was interrupted (2 results). Open it?");
        const bool applied = answer == QMessageBox::Yes;
        QCOMPARE(list().Empty(), answer == QMessageBox::Cancel || (!saved && !applied));
        QCOMPARE(!list().Empty() && list().SubItem(1, 0) == "[550] Mailbox unavailable", applied);
        QCOMPARE(form().Modified() && form().ProjectFileName().isEmpty() != saved, applied);
        QCOMPARE(saved ? journalLeft() : stateLeft(), saved || applied);  // kept but for a No
    }

    void theJournalEndsWithASaveOrDiscardedChanges_data() {
        QTest::addColumn<bool>("saved");
        QTest::addColumn<QString>("command");  // after a run stopped by the user
        QTest::newRow("saved: Save") << true << "acSave";
        QTest::newRow("saved: No to the modified prompt") << true << "acNew";
        QTest::newRow("unsaved: Save As") << false << "acSave";
        QTest::newRow("unsaved: No to the modified prompt") << false << "acNew";
    }
    void theJournalEndsWithASaveOrDiscardedChanges() {
        QFETCH(bool, saved);
        QFETCH(QString, command);
        interruptRun(saved);
        act("acAbort")->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(!form().Running(), 10000);
        if (command == "acNew")
            driver_->Expect(ModalDriver::Press(QMessageBox::No));
        else if (!saved)
            driver_->Expect(ModalDriver::ChooseFile(project()));
        act(command.toLatin1())->trigger();
        QVERIFY(!journalLeft() && (saved || !stateLeft()));
    }
};

MV_UI_TEST_MAIN(RunJournalWindowTest)
#include "run_journal_window_test.moc"
