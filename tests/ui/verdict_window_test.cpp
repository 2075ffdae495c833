// What a result means, in the window, against the fake mail world: each
// checked row shows its verdict's icon and, as the result's tool tip, the
// verdict, the reason and the deciding reply (after reopening the same, from
// the findings file; without it the verdict from the code, said so);
// deferred addresses waiting for their recheck; and the summary window's
// counts after a run (flags too), saved as PNG and CSV.
#include <QChartView>
#include <QFile>
#include <QImage>
#include <QPushButton>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTableWidget>

#include "common/icons.h"
#include "fake_world.h"
#include "main_window/recipient_list_view.h"
#include "main_window/status_panels.h"
#include "modal_driver.h"
#include "models/result_tool_tip.h"
#include "platform/resolver/host_resolver.h"
#include "ui_test_support.h"
#include "window_suite.h"

using mv::Verdict;
using mv::test::ModalDriver;

namespace {

const char* const kWorld =
    "host mx.ok.test users=valid\n"
    "host mx.all.test accept\n"
    "host mx.block.test blocklist\n"
    "host grey.wait.test greylist=600000\n"
    "domain ok.test mx 10 mx.ok.test\n"
    "domain all.test mx 10 mx.all.test\n"
    "domain block.test mx 10 mx.block.test\n"
    "domain wait.test mx 10 grey.wait.test\n";

const char* const kBlockReply =
    "554 5.7.1 Service unavailable; Client host blocked using zen.spamhaus.org";

// One row of each verdict, and one that is not checked.
struct CheckedRow {
    const char* address;
    Verdict verdict;
    const char* toolTip;  // its beginning, up to the reply's code
};
const CheckedRow kRows[] = {
    {"valid@ok.test", Verdict::kDeliverable, "Verdict: deliverable\nReason: accepted\nReply: 250"},
    {"nobody@ok.test", Verdict::kUndeliverable,
     "Verdict: undeliverable\nReason: mailbox-unknown\nReply: 550"},
    {"made.up@all.test", Verdict::kRisky, "Verdict: risky\nReason: accept-all\nReply: 250"},
    {"desk@block.test", Verdict::kUnknown, "Verdict: unknown\nReason: policy-block\nReply: 554"},
};

// A table row without the empty cells at its end.
QString Trimmed(QString row) {
    return row.remove(QRegularExpression(",+$"));
}

}  // namespace

class VerdictWindowTest : public mv::test::WindowSuite {
    Q_OBJECT
  private:
    std::unique_ptr<mv::test::FakeWorld> world_;

    QString path(const char* name) { return QString::fromStdString((*dir_ / name).string()); }
    QModelIndex cell(size_t row, int column) {
        return form().ListView()->model()->index(int(row), column);
    }
    void addRow(const std::string& caption, int mark = mv::kMarkChecked);
    void runToTheEnd();

  private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();
    void resultsShowTheirVerdict();
    void deferredAddressesWaitUntilStopped();
    void summaryCountsTheRunAndSavesIt();
};

void VerdictWindowTest::initTestCase() {
    world_ = std::make_unique<mv::test::FakeWorld>(kWorld);
}

void VerdictWindowTest::cleanupTestCase() {
    world_.reset();
}

void VerdictWindowTest::init() {
    StartCase();
    OpenWindowOn(*world_);
    window_->ini().ilFrom.SetText("Checker <checker@probe.test>");
    window_->ini().ilTimeOut.SetAsInteger(5);
    form().OpenStartArgument({});
    form().show();
    QVERIFY(QTest::qWaitForWindowExposed(&form()));
}

void VerdictWindowTest::cleanup() {
    QCOMPARE(driver_->Unexpected(), QStringList());
    EndCase();
    mv::network_layer::SetLookupServers("");
}

void VerdictWindowTest::addRow(const std::string& caption, int mark) {
    mv::RecipientRow row;
    row.caption = caption;
    row.subItems = {""};
    row.stateIndex = mark;
    list().AppendRow(row);
}

void VerdictWindowTest::runToTheEnd() {
    for (const CheckedRow& r : kRows)
        addRow(r.address);
    addRow("info@ok.test", mv::kMarkUnchecked);  // a role address
    act("acStart")->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(!form().Running(), 20000);
}

void VerdictWindowTest::resultsShowTheirVerdict() {
    runToTheEnd();
    const auto iconOf = [this](size_t row) {
        return cell(row, 0).data(Qt::DecorationRole).value<QIcon>().cacheKey();
    };
    for (size_t row = 0; row < std::size(kRows); ++row) {
        const QString tip = cell(row, 1).data(Qt::ToolTipRole).toString();
        QVERIFY2(tip.startsWith(QString::fromLatin1(kRows[row].toolTip)), qPrintable(tip));
        QCOMPARE(iconOf(row), mv::ui::VerdictIcon(kRows[row].verdict).cacheKey());
        QVERIFY(!cell(row, 0).data(Qt::ToolTipRole).isValid());  // only the result has one
    }
    QCOMPARE(cell(3, 1).data(Qt::ToolTipRole).toString(),
             QStringLiteral("Verdict: unknown\nReason: policy-block\nReply: ") + kBlockReply);
    QVERIFY(!cell(4, 1).data(Qt::ToolTipRole).isValid());  // never checked
    QCOMPARE(iconOf(4), mv::ui::ResultIcon(mv::kIconNotChecked).cacheKey());

    // Saved and opened again: every verdict, reason and reply as before.
    QStringList checked;
    for (size_t row = 0; row < std::size(kRows); ++row)
        checked << cell(row, 1).data(Qt::ToolTipRole).toString();
    driver_->Expect(ModalDriver::ChooseFile(path("checked.mlt")));
    act("acSaveAs")->trigger();
    const auto reopen = [this] {
        driver_->Expect(ModalDriver::ChooseFile(path("checked.mlt")));
        act("acOpen")->trigger();
    };
    reopen();
    for (size_t row = 0; row < std::size(kRows); ++row)
        QCOMPARE(cell(row, 1).data(Qt::ToolTipRole).toString(), checked[int(row)]);

    // Without its findings file the verdict comes from the code alone, and
    // the tool tip says so. A risky accept-all row was valid: its code says
    // deliverable.
    QVERIFY(QFile::remove(path("checked.mlt.findings")));
    reopen();
    const Verdict fromCode[] = {Verdict::kDeliverable, Verdict::kUndeliverable,
                                Verdict::kDeliverable, Verdict::kUnknown};
    for (size_t row = 0; row < std::size(fromCode); ++row) {
        QCOMPARE(cell(row, 1).data(Qt::ToolTipRole).toString(),
                 "Verdict: " + QString::fromLatin1(mv::VerdictName(fromCode[row]).data()) + "\n" +
                     mv::ui::kDerivedFromCodeNote);
        QCOMPARE(iconOf(row), mv::ui::VerdictIcon(fromCode[row]).cacheKey());
    }
    // A damaged one is told in the status bar.
    mv::test::WriteFile(path("checked.mlt.findings").toStdString(), "mailvetter-findings 9\n");
    reopen();
    QVERIFY(form().StatusBar()->currentMessage().contains("findings is not one this program"));
}

void VerdictWindowTest::deferredAddressesWaitUntilStopped() {
    window_->ini().ilRecheckDeferred.SetAsInteger(60);
    addRow("late@wait.test");
    mv::ui::StatusPanels* status = form().StatusBar();
    act("acStart")->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(!status->RecheckText().isEmpty(), 10000);
    // It waits for its second try, showing its first result.
    QVERIFY2(status->RecheckText().startsWith("Deferred: 1, next try at "),
             qPrintable(status->RecheckText()));
    QVERIFY(form().Running());
    QCOMPARE(status->PanelText(2), QStringLiteral("Waiting: 1"));
    QCOMPARE(status->PanelText(4), QStringLiteral("Bad: 0"));
    const QString first = cell(0, 1).data().toString();
    QVERIFY2(first.startsWith("[450] "), qPrintable(first));
    QVERIFY(cell(0, 1)
                .data(Qt::ToolTipRole)
                .toString()
                .startsWith("Verdict: unknown\nReason: deferred\nReply: 450 4.2.0"));

    act("acAbort")->trigger();  // ends the waiting; the row keeps its result
    QTRY_VERIFY_WITH_TIMEOUT(!form().Running(), 10000);
    QCOMPARE(cell(0, 1).data().toString(), first);
    QCOMPARE(status->PanelText(2), QStringLiteral("Waiting: 0"));
    QCOMPARE(status->PanelText(4), QStringLiteral("Bad: 1"));
    QCOMPARE(status->RecheckText(), QString());
}

void VerdictWindowTest::summaryCountsTheRunAndSavesIt() {
    QVERIFY(!act("acSummary")->isEnabled());  // an empty list has nothing to count
    runToTheEnd();
    QVERIFY(act("acSummary")->isEnabled());
    QStringList table;
    driver_->Expect([&](QDialog* d) {
        QCOMPARE(d->windowTitle(), QStringLiteral("Summary"));
        auto* cells = d->findChild<QTableWidget*>("SummaryTable");
        for (int r = 0; r < cells->rowCount(); ++r) {
            QStringList row;
            for (int c = 0; c < cells->columnCount(); ++c)
                row << (cells->item(r, c) != nullptr ? cells->item(r, c)->text() : QString());
            table << Trimmed(row.join(','));
        }
        QVERIFY(d->findChild<QChartView*>("FlagChart") != nullptr);
        d->findChild<QTabWidget*>("Pages")->setCurrentIndex(2);  // the domains
        driver_->Expect(ModalDriver::ChooseFile(path("domains.png")));
        d->findChild<QPushButton*>("btSaveChart")->click();
        driver_->Expect(ModalDriver::ChooseFile(path("summary.csv")));
        d->findChild<QPushButton*>("btSaveTable")->click();
        d->reject();
    });
    act("acSummary")->trigger();
    // Kind, name, addresses; a domain's count per verdict and not checked.
    for (const char* row :
         {"verdict,deliverable,1", "verdict,risky,1", "verdict,undeliverable,1",
          "verdict,unknown,1", "verdict,not checked,1", "reason,accepted,1", "reason,accept-all,1",
          "reason,mailbox-unknown,1", "reason,policy-block,1", "reason,deferred,0",
          "reason,not kept,0", "domain,ok.test,3,1,0,1,0,1", "domain,all.test,1,0,1,0,0,0",
          "flag,role,1", "flag,free,0", "flag,suggestion,0"})
        QVERIFY2(table.contains(QString::fromLatin1(row)), row);
    QCOMPARE(table.filter(QRegularExpression("^domain,")).size(), 3);
    QVERIFY(table.indexOf("domain,ok.test,3,1,0,1,0,1") <
            table.indexOf("domain,all.test,1,0,1,0,0,0"));

    const QImage chart(path("domains.png"), "PNG");
    QVERIFY(!chart.isNull() && chart.width() > 200 && chart.height() > 100);
    const QString csv =
        QString::fromStdString(mv::test::ReadFile(path("summary.csv").toStdString()));
    QStringList lines;
    for (const QString& line : csv.split("\r\n", Qt::SkipEmptyParts))
        lines << Trimmed(line);
    QCOMPARE(lines, QStringList(
                        "Kind,Name,Addresses,deliverable,risky,undeliverable,unknown,not checked") +
                        table);
}

MV_UI_TEST_MAIN(VerdictWindowTest)
#include "verdict_window_test.moc"
