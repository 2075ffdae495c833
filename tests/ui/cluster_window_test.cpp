// "Check on the C&luster" in the window, against a Redis server of the
// test's own, a worker (mailvetter-cli worker) and the fake mail world: rows
// and counters as in a run on this computer, "S&top" cancelling the run, and
// a server that cannot be reached told in the error box.
#include <QMenu>
#include <csignal>

#include "fake_world.h"
#include "main_window/status_panels.h"
#include "modal_driver.h"
#include "redis_server.h"
#include "subprocess.h"
#include "ui_test_support.h"
#include "window_suite.h"

using mv::test::ModalDriver;

namespace {

const char* const kWorld =
    "host mx.ok.test accept\nhost mx.no.test rcpt=550\n"
    "domain ok.test mx 10 mx.ok.test\ndomain no.test mx 10 mx.no.test\n";

}  // namespace

class ClusterWindowTest : public mv::test::WindowSuite {
    Q_OBJECT
  private:
    std::unique_ptr<mv::test::FakeWorld> world_;
    std::unique_ptr<mv::test::RedisServer> redis_;

    QString panel(int i) { return form().StatusBar()->PanelText(i); }
    void addRow(const std::string& caption, int32_t mark = mv::kMarkChecked) {
        mv::RecipientRow row;
        row.caption = caption;
        row.subItems = {""};
        row.stateIndex = mark;
        list().AppendRow(row);
    }
    std::unique_ptr<mv::test::Subprocess> startWorker() const;

  private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();
    void runShowsEveryRowsResult();
    void stopCancelsTheRun();
    void unreachableServerIsTold();
};

void ClusterWindowTest::initTestCase() {
    if (!mv::test::RedisServer::Available()) QSKIP("redis-server is not installed");
    world_ = std::make_unique<mv::test::FakeWorld>(kWorld);
}

void ClusterWindowTest::cleanupTestCase() {
    world_.reset();
}

void ClusterWindowTest::init() {
    StartCase();
    redis_ = std::make_unique<mv::test::RedisServer>(mv::test::RedisServer::Options{});
    mv::TINI(*dir_ / "config").ilClusterRedis.SetText(redis_->Url());  // read by the window
    OpenWindow();
    form().OpenStartArgument({});
    form().show();
    QVERIFY(QTest::qWaitForWindowExposed(&form()));
}

void ClusterWindowTest::cleanup() {
    QCOMPARE(driver_->Unexpected(), QStringList());
    EndCase();
    redis_.reset();
}

std::unique_ptr<mv::test::Subprocess> ClusterWindowTest::startWorker() const {
    const std::vector<std::string> argv = {mv::test::CliPath(),
                                           "worker",
                                           "--redis",
                                           redis_->Url(),
                                           "--name",
                                           "w1",
                                           "--dns",
                                           world_->dnsServer(),
                                           "--dns-port",
                                           std::to_string(world_->dnsPort()),
                                           "--smtp-port",
                                           std::to_string(world_->smtpPort()),
                                           "--from",
                                           "me@checker.test",
                                           "--timeout",
                                           "5",
                                           "--per-server",
                                           "0"};
    return std::make_unique<mv::test::Subprocess>(
        argv, "", std::vector<std::string>{"XDG_CONFIG_HOME=" + dir_->path().string()});
}

void ClusterWindowTest::runShowsEveryRowsResult() {
    addRow("Valid One <valid@ok.test>");
    addRow("nobody@no.test");
    addRow("skipped@ok.test", mv::kMarkUnchecked);
    form().SetModified(false);
    act("acCheckOnCluster")->trigger();
    QVERIFY(form().Running());
    QVERIFY(!form().close());  // refused, as during a run on this computer
    for (const char* name : {"acStart", "acCheckOnCluster", "acOpen"})
        QVERIFY2(!act(name)->isEnabled(), name);
    QVERIFY(act("acAbort")->isEnabled());

    const auto worker = startWorker();
    QTRY_VERIFY_WITH_TIMEOUT(!form().Running(), 30000);
    worker->Signal(SIGTERM);
    QCOMPARE(worker->Wait(30000).exitCode, 0);
    const std::pair<size_t, const char*> rows[] = {
        {0, "[0] Valid E-mail Address!"}, {1, "[550] Mailbox unavailable"}, {2, ""}};
    for (const auto& [row, text] : rows)
        QCOMPARE(std::string(list().SubItem(row, 0)), std::string(text));
    QCOMPARE(list().ImageIndex(0), mv::kIconValid);
    QCOMPARE(list().ImageIndex(1), mv::kIconFailed);
    QCOMPARE(list().StateIndex(0), mv::kMarkUnchecked);  // a valid address is unmarked
    QCOMPARE(panel(1) + " " + panel(2) + " " + panel(3) + " " + panel(4),
             QStringLiteral("Total: 3 Waiting: 0 Good: 1 Bad: 1"));
    QVERIFY(form().Modified());
    QVERIFY(act("acCheckOnCluster")->isEnabled());
}

void ClusterWindowTest::stopCancelsTheRun() {
    addRow("a@ok.test");
    addRow("b@ok.test");
    act("acCheckOnCluster")->trigger();
    // Nobody works on it: "S&top" cancels the run, and its rows stay as they were.
    QTRY_VERIFY_WITH_TIMEOUT(
        form().StatusBar()->currentMessage().contains("submitted to the cluster"), 10000);
    act("acAbort")->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(!form().Running(), 10000);
    QCOMPARE(std::string(list().SubItem(0, 0)), std::string(""));
    QCOMPARE(panel(2), QStringLiteral("Waiting: 0"));
}

void ClusterWindowTest::unreachableServerIsTold() {
    window_->ini().ilClusterRedis.SetText("unix://" + (dir_->path() / "none.sock").string());
    addRow("a@ok.test");
    driver_->Expect(ModalDriver::Press(QMessageBox::Ok));
    act("acCheckOnCluster")->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(!form().Running(), 15000);
    QTRY_COMPARE(driver_->Pending(), size_t{0});
    QVERIFY2(driver_->Seen().back().text.contains("none.sock"),
             qPrintable(driver_->Seen().back().text));
    QCOMPARE(std::string(list().SubItem(0, 0)), std::string(""));
}

MV_UI_TEST_MAIN(ClusterWindowTest)
#include "cluster_window_test.moc"
