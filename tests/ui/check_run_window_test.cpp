// The check run in the window against the fake mail world: rows turning to
// "Checking..." and to their results with the right icons, the counters, the
// command states, cursor and drops during and after a run, "S&top" in the
// middle, and what the window refuses while a run is under way.
#include <QClipboard>
#include <QGuiApplication>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QSignalSpy>

#include "fake_world.h"
#include "main_window/recipient_list_view.h"
#include "main_window/run_warning_bar.h"
#include "main_window/status_panels.h"
#include "modal_driver.h"
#include "platform/resolver/host_resolver.h"
#include "ui_test_support.h"
#include "window_suite.h"

using mv::test::ModalDriver;

namespace {

const char* const kWorld =
    "host mx.ok.test users=valid\n"
    "host quiet.slow.test silent\n"
    "host gone.dead.test refuse\n"
    "host mx.drip.test drip=50\nhost mx.late.test delay=60000\nhost mx.bye.test close-after-rcpt\n"
    "domain drip.test mx mx.drip.test\ndomain late.test mx mx.late.test\n"
    "domain bye.test mx mx.bye.test\ndomain hush.test silent\n"
    "domain ok.test mx 10 mx.ok.test\n"
    "domain slow.test mx 10 quiet.slow.test\n"
    "domain dead.test mx 10 gone.dead.test\n"
    // Six servers that refuse every connection, six that refuse this computer.
    "host mx.r0.test refuse\nhost mx.r1.test refuse\nhost mx.r2.test refuse\n"
    "host mx.r3.test refuse\nhost mx.r4.test refuse\nhost mx.r5.test refuse\n"
    "host mx.l0.test blocklist\nhost mx.l1.test blocklist\nhost mx.l2.test blocklist\n"
    "host mx.l3.test blocklist\nhost mx.l4.test blocklist\nhost mx.l5.test blocklist\n"
    "domain r0.test mx mx.r0.test\ndomain r1.test mx mx.r1.test\ndomain r2.test mx mx.r2.test\n"
    "domain r3.test mx mx.r3.test\ndomain r4.test mx mx.r4.test\ndomain r5.test mx mx.r5.test\n"
    "domain l0.test mx mx.l0.test\ndomain l1.test mx mx.l1.test\ndomain l2.test mx mx.l2.test\n"
    "domain l3.test mx mx.l3.test\ndomain l4.test mx mx.l4.test\ndomain l5.test mx mx.l5.test\n";

// The commands a run switches off.
const char* const kIdleOnly[] = {"acStart",
                                 "acOpen",
                                 "acNew",
                                 "acOptions",
                                 "acPreflight",
                                 "acRecipientAdd",
                                 "acImportRecipient",
                                 "acExportRecipient",
                                 "acCheckAll",
                                 "acUnCheckAll",
                                 "acInvertSelection",
                                 "acRecipientDeleteSelected",
                                 "acRecipientEdit",
                                 "acRecipientDelete"};

}  // namespace

class CheckRunWindowTest : public mv::test::WindowSuite {
    Q_OBJECT
  private:
    std::unique_ptr<mv::test::FakeWorld> world_;

    QString panel(int i) { return form().StatusBar()->PanelText(i); }
    QString path(const char* name) { return QString::fromStdString((*dir_ / name).string()); }
    QString viewLog();  // the log window's caption and text
    size_t addRow(const std::string& caption, int mark = mv::kMarkChecked,
                  const std::string& result = "");
    void verifyCommands(bool running);

  private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();
    void runShowsEveryRowsResult();
    void stopEndsTheRowsInFlight();
    void stopFreesNoSessionWhileItsWalkIsOnTheStack();
    void runUnderAFilterRechecksTheRowsShown();
    void logShowsTheTranscriptUntilReopened();
    void aWarningHoldsTheRunUntilAnswered_data();
    void aWarningHoldsTheRunUntilAnswered();
};

void CheckRunWindowTest::initTestCase() {
    world_ = std::make_unique<mv::test::FakeWorld>(kWorld);
}

void CheckRunWindowTest::cleanupTestCase() {
    world_.reset();
}

void CheckRunWindowTest::init() {
    StartCase();
    OpenWindowOn(*world_);
    window_->ini().ilFrom.SetText("Checker <checker@probe.test>");
    window_->ini().ilConnections.SetAsInteger(2);
    window_->ini().ilTimeOut.SetAsInteger(1);
    window_->ini().ilPerServer.SetAsInteger(0);
    form().OpenStartArgument({});
    form().show();
    QVERIFY(QTest::qWaitForWindowExposed(&form()));
}

void CheckRunWindowTest::cleanup() {
    QCOMPARE(driver_->Unexpected(), QStringList());
    EndCase();
    mv::network_layer::SetLookupServers("");
}

size_t CheckRunWindowTest::addRow(const std::string& caption, int mark, const std::string& result) {
    mv::RecipientRow row;
    row.caption = caption;
    row.subItems = {result};
    row.stateIndex = mark;
    return list().AppendRow(row);
}

void CheckRunWindowTest::verifyCommands(bool running) {
    const bool selected = form().ListView()->SelectedRow().has_value();
    for (const char* name : kIdleOnly) {
        const bool needsRow =
            std::string(name) == "acRecipientEdit" || std::string(name) == "acRecipientDelete";
        const bool expected = !running && (selected || !needsRow);
        QVERIFY2(act(name)->isEnabled() == expected, name);
    }
    QCOMPARE(act("acAbort")->isEnabled(), running);
    QCOMPARE(act("acSummary")->isEnabled(), !list().Empty());  // it only reads
    QCOMPARE(form().acceptDrops(), !running);
    const QCursor* cursor = QGuiApplication::overrideCursor();
    QCOMPARE(cursor != nullptr && cursor->shape() == Qt::BusyCursor, running);
}

void CheckRunWindowTest::runShowsEveryRowsResult() {
    for (int i = 0; i < 40; ++i)  // the checked rows lie below the first page
        addRow("skip" + std::to_string(i) + "@ok.test", mv::kMarkUnchecked, "[550] old result");
    const size_t valid = addRow("Valid One <valid@ok.test>");
    const size_t refused = addRow("nobody@ok.test");
    const size_t silent = addRow("someone@slow.test");
    const size_t unreachable = addRow("user@dead.test");
    form().SetModified(false);

    act("acStart")->trigger();
    QVERIFY(form().Running());
    verifyCommands(true);
    QVERIFY(form().Modified());
    QVERIFY(!form().close());  // refused, without a word
    QCOMPARE(panel(1), QStringLiteral("Total: 44"));

    // The silent host keeps its row checking after the others have ended.
    QTRY_COMPARE_WITH_TIMEOUT(panel(3) + " " + panel(4), QStringLiteral("Good: 1 Bad: 2"), 10000);
    QCOMPARE(std::string(list().SubItem(silent, 0)), std::string("Checking..."));
    QCOMPARE(list().ImageIndex(silent), mv::kIconChecking);
    QCOMPARE(panel(2), QStringLiteral("Waiting: 1"));

    QTRY_VERIFY_WITH_TIMEOUT(!form().Running(), 10000);
    verifyCommands(false);
    QVERIFY(form().isVisible());
    struct Expected {
        size_t row;
        const char* text;
        int32_t icon;
        int32_t mark;
    };
    const Expected rows[] = {
        {valid, "[0] Valid E-mail Address!", mv::kIconValid, mv::kMarkUnchecked},
        {refused, "[550] Mailbox unavailable", mv::kIconFailed, mv::kMarkChecked},
        {silent, "[-2] Time Out: Recipient's SMTP Server didn't respond", mv::kIconFailed,
         mv::kMarkChecked},
        {unreachable, "[10061] Conection refused or host is down. Try later", mv::kIconFailed,
         mv::kMarkChecked},
        {0, "[550] old result", mv::kIconNotChecked, mv::kMarkUnchecked},
    };
    for (const Expected& e : rows) {
        const QModelIndex shown = form().ListView()->model()->index(int(e.row), 1);
        QCOMPARE(shown.data().toString(), QString::fromLatin1(e.text));
        QCOMPARE(list().ImageIndex(e.row), e.icon);
        QCOMPARE(list().StateIndex(e.row), e.mark);
    }
    QVERIFY(!list().TranscriptOf(refused).empty());
    QVERIFY(panel(0).startsWith("Elapsed: "));
    QCOMPARE(panel(2), QStringLiteral("Waiting: 0"));
    QCOMPARE(panel(3), QStringLiteral("Good: 1"));
    QCOMPARE(panel(4), QStringLiteral("Bad: 3"));
    // The rows that reported were scrolled into view.
    mv::ui::RecipientListView* view = form().ListView();
    QVERIFY(view->rowViewportPosition(int(unreachable)) >= 0 &&
            view->rowViewportPosition(int(unreachable)) < view->viewport()->height());
    // Back to idle, "&View Log..." follows the selected row's result.
    view->SelectRow(refused);
    QVERIFY(act("acViewLog")->isEnabled());
    QVERIFY(act("acRecipientEdit")->isEnabled());
}

void CheckRunWindowTest::stopEndsTheRowsInFlight() {
    window_->ini().ilTimeOut.SetAsInteger(60);
    for (const char* name : {"other.mlt", "current.mlt"}) {
        mv::test::WriteProject(*dir_ / name, {});
        form().OpenProject(path(name));
    }
    const size_t first = addRow("a@slow.test");
    const size_t second = addRow("b@slow.test");
    const size_t notBegun = addRow("c@slow.test", mv::kMarkChecked, "[-2] earlier");
    act("acStart")->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(panel(2), QStringLiteral("Waiting: 2"), 10000);
    QCOMPARE(std::string(list().SubItem(notBegun, 0)), std::string("[-2] earlier"));

    // A press on a check mark still toggles it during the run.
    mv::ui::RecipientListView* view = form().ListView();
    const QPoint box(4, view->rowViewportPosition(int(notBegun)) + 4);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, box);
    QCOMPARE(list().StateIndex(notBegun), mv::kMarkUnchecked);
    // Selecting a row does not bring back the commands that change rows.
    QVERIFY(!act("acRecipientEdit")->isEnabled());
    QVERIFY(!act("acRecipientDelete")->isEnabled());
    // A recently used file opens nothing (and asks nothing).
    for (QAction* entry : form().findChild<QMenu*>("File1")->actions())
        if (entry->text() == "&2 other.mlt") entry->trigger();
    QVERIFY(form().Running());
    QCOMPARE(form().ProjectFileName(), path("current.mlt"));

    act("acAbort")->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(!form().Running(), 10000);
    for (size_t row : {first, second}) {
        QCOMPARE(std::string(list().SubItem(row, 0)), std::string("[-8] Aborted by user"));
        QCOMPARE(list().ImageIndex(row), mv::kIconFailed);
        QCOMPARE(list().StateIndex(row), mv::kMarkChecked);
    }
    QCOMPARE(std::string(list().SubItem(notBegun, 0)), std::string("[-2] earlier"));
    QCOMPARE(panel(2), QStringLiteral("Waiting: 0"));
    QCOMPARE(panel(4), QStringLiteral("Bad: 2"));
    verifyCommands(false);
    QVERIFY(act("acRecipientEdit")->isEnabled());  // the row pressed is selected
}

// Notes, at every row change during "S&top", whether a retired session has
// been freed since "S&top" was pressed: the rows report their -8 from inside
// the dispatcher's walk over its sessions.
class FreedDuringStop final : public mv::RecipientListObserver {
  public:
    explicit FreedDuringStop(mv::MessageLoop& loop) : loop_(loop) {}
    void Press(QAction* stop) {
        atPress_ = loop_.RetiredFreed();
        inside_ = true;
        stop->trigger();
        inside_ = false;
    }
    void RowsChanged(size_t, size_t) override {
        if (!inside_) return;
        ++reports;
        if (loop_.RetiredFreed() != atPress_) freedInside = true;
    }
    int reports = 0;
    bool freedInside = false;

  private:
    mv::MessageLoop& loop_;
    uint64_t atPress_ = 0;
    bool inside_ = false;
};

void CheckRunWindowTest::stopFreesNoSessionWhileItsWalkIsOnTheStack() {
    window_->ini().ilTimeOut.SetAsInteger(60);
    window_->ini().ilConnections.SetAsInteger(12);
    // Sessions waiting for a greeting, inside an endless one, for a late
    // reply, for a DNS answer, and ending their conversations.
    const char* domains[] = {"slow.test", "drip.test", "late.test",
                             "hush.test", "bye.test",  "ok.test"};
    for (int i = 0; i < 24; ++i)
        addRow("u" + std::to_string(i) + "@" + domains[i % 6]);
    // Every session's wait for its connection to close lets the loop work,
    // as a wait that is not over at once does.
    form().Project().SmtpRelayServer1.OnDropWaitForTesting = [this] {
        loop_->loop().ProcessMessages(false);
    };
    act("acStart")->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(panel(2) == "Waiting: 12" && panel(3) != "Good: 0", 10000);
    FreedDuringStop witness(loop_->loop());
    list().AddObserver(&witness);
    witness.Press(act("acAbort"));
    list().RemoveObserver(&witness);
    QVERIFY(witness.reports > 0);
    QVERIFY(!witness.freedInside);
    QTRY_VERIFY_WITH_TIMEOUT(!form().Running(), 10000);
}

void CheckRunWindowTest::runUnderAFilterRechecksTheRowsShown() {
    addRow("valid@ok.test");
    addRow("nobody@ok.test");
    const size_t silent = addRow("someone@slow.test");
    act("acShowNotChecked")->trigger();
    form().ListView()->SelectRow(silent);
    act("acStart")->trigger();
    QVERIFY(act("acShowAll")->isEnabled());  // the filter stays at hand during a run
    QTRY_VERIFY_WITH_TIMEOUT(!form().Running(), 10000);
    // Every row has its result: none is left to show, nor selected.
    QCOMPARE(form().StatusBar()->ShowingText(), QStringLiteral("Showing 0 of 3"));
    QCOMPARE(form().ListView()->SelectedRow(), std::nullopt);
    QCOMPARE(panel(1), QStringLiteral("Total: 3"));

    // Only the rows shown are marked again, so "&Check" takes exactly them.
    for (const char* step : {"acShowAll", "acUnCheckAll", "acShowUnknown", "acCheckAll"})
        act(step)->trigger();
    QCOMPARE(form().StatusBar()->ShowingText(), QStringLiteral("Showing 1 of 3"));
    const std::string validBefore(list().SubItem(0, 0));
    act("acStart")->trigger();
    QTRY_COMPARE(panel(2), QStringLiteral("Waiting: 1"));
    QCOMPARE(std::string(list().SubItem(silent, 0)), std::string("Checking..."));
    QTRY_VERIFY_WITH_TIMEOUT(!form().Running(), 10000);
    QCOMPARE(std::string(list().SubItem(0, 0)), validBefore);
    QCOMPARE(panel(4), QStringLiteral("Bad: 1"));
    QCOMPARE(form().ListView()->ShownRowCount(), size_t{1});
}

QString CheckRunWindowTest::viewLog() {
    QString shown;
    driver_->Expect([&](QDialog* dialog) {
        const auto close = qScopeGuard([dialog] { dialog->reject(); });
        auto* memo = dialog->findChild<QPlainTextEdit*>("Memo1");
        QVERIFY(memo->isReadOnly());
        QVERIFY(!(memo->focusPolicy() & Qt::TabFocus));
        shown = dialog->windowTitle() + "\n" + memo->toPlainText();
        memo->selectAll();  // selectable and copyable
        memo->copy();
        if (!memo->document()->isEmpty())
            QCOMPARE(QGuiApplication::clipboard()->text(), memo->toPlainText());
    });
    act("acViewLog")->trigger();
    return shown;
}

void CheckRunWindowTest::logShowsTheTranscriptUntilReopened() {
    const size_t refused = addRow("Nobody <nobody@ok.test>");
    const size_t unchecked = addRow("later@ok.test", mv::kMarkUnchecked);
    act("acStart")->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(!form().Running(), 10000);
    form().ListView()->SelectRow(unchecked);
    QVERIFY(!act("acViewLog")->isEnabled());  // never checked: no log to show

    form().ListView()->SelectRow(refused);
    const mv::Transcript& transcript = list().TranscriptOf(refused);
    QString expected = QStringLiteral("Log of Nobody <nobody@ok.test>");
    for (const std::string& line : transcript)
        expected += "\n" + QString::fromStdString(line);
    QCOMPARE(viewLog(), expected);
    QVERIFY(expected.contains("RCPT TO:<nobody@ok.test>"));
    QVERIFY(expected.contains("550"));

    // Transcripts are not saved: opened again, the row's log is empty.
    driver_->Expect(ModalDriver::ChooseFile(path("checked.mlt")));
    act("acSaveAs")->trigger();
    driver_->Expect(ModalDriver::ChooseFile(path("checked.mlt")));
    act("acOpen")->trigger();
    form().ListView()->SelectRow(refused);
    QCOMPARE(viewLog(), QStringLiteral("Log of Nobody <nobody@ok.test>\n"));
}

void CheckRunWindowTest::aWarningHoldsTheRunUntilAnswered_data() {
    QTest::addColumn<QString>("domain");  // r: connections refused; l: on a block list
    QTest::addColumn<QString>("warning");
    QTest::addColumn<bool>("goOn");
    QTest::newRow("port 25 blocked, go on")
        << "r"
        << "Warning: outgoing port 25 is probably blocked: " << true;
    QTest::newRow("block list, stop")
        << "l"
        << "Warning: receivers refuse this computer (block list): " << false;
}

void CheckRunWindowTest::aWarningHoldsTheRunUntilAnswered() {
    QFETCH(QString, domain);
    QFETCH(QString, warning);
    QFETCH(bool, goOn);
    for (int i = 0; i < 40; ++i)
        addRow("u" + std::to_string(i) + "@" + domain.toStdString() + std::to_string(i % 6) +
               ".test");
    mv::ui::RunWarningBar* bar = form().WarningBar();
    QVERIFY(!bar->isVisible());
    act("acStart")->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(bar->isVisible(), 10000);
    QVERIFY2(bar->Text().startsWith(warning), qPrintable(bar->Text()));
    // Held: the checks begun end, and no new one begins.
    QTRY_COMPARE_WITH_TIMEOUT(panel(2), QStringLiteral("Waiting: 0"), 10000);
    QVERIFY(form().Running());
    QVERIFY(act("acAbort")->isEnabled());

    bar->findChild<QPushButton*>(goOn ? "btGoOn" : "btStop")->click();
    QVERIFY(!bar->isVisible());
    QTRY_VERIFY_WITH_TIMEOUT(!form().Running(), 10000);
    QVERIFY(!bar->isVisible());
    verifyCommands(false);
    const int checked = panel(4).mid(5).toInt();  // "Bad: %d"
    QVERIFY2(goOn ? checked == 40 : checked < 40, qPrintable(panel(4)));
    QCOMPARE(std::string(list().SubItem(39, 0)).empty(), !goOn);  // the last row never begun
}

MV_UI_TEST_MAIN(CheckRunWindowTest)
#include "check_run_window_test.moc"
