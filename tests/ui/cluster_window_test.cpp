// "Check on the C&luster" in the window, against a Redis server of the
// test's own, a worker (mailvetter-cli worker) and the fake mail world: rows
// and counters as in a run on this computer, and "S&top" cancelling the run.
#include <csignal>

#include "fake_world.h"
#include "main_window/status_panels.h"
#include "redis_server.h"
#include "subprocess.h"
#include "ui_test_support.h"
#include "window_suite.h"

class ClusterWindowTest : public mv::test::WindowSuite {
    Q_OBJECT
  private:
    std::unique_ptr<mv::test::FakeWorld> world_;
    std::unique_ptr<mv::test::RedisServer> redis_;

    QString panel(int i) { return form().StatusBar()->PanelText(i); }
    void open(const std::vector<mv::test::TestRow>& rows) {
        mv::test::WriteProject(*dir_ / "list.mlt", rows);
        form().OpenStartArgument({QString::fromStdString((*dir_ / "list.mlt").string())});
    }

  private slots:
    void initTestCase() {
        if (!mv::test::RedisServer::Available()) QSKIP("redis-server is not installed");
        world_ = std::make_unique<mv::test::FakeWorld>(
            "host mx.ok.test accept\nhost mx.no.test rcpt=550\n"
            "domain ok.test mx 10 mx.ok.test\ndomain no.test mx 10 mx.no.test\n");
    }
    void init();
    void cleanup();
    void runShowsEveryRowsResult();
    void stopCancelsTheRun();
};

void ClusterWindowTest::init() {
    StartCase();
    redis_ = std::make_unique<mv::test::RedisServer>(mv::test::RedisServer::Options{});
    mv::TINI(*dir_ / "config").ilClusterRedis.SetText(redis_->Url());  // read by the window
    OpenWindow();
}

void ClusterWindowTest::cleanup() {
    QCOMPARE(driver_->Unexpected(), QStringList());
    EndCase();
    redis_.reset();
}

void ClusterWindowTest::runShowsEveryRowsResult() {
    QVERIFY(
        mv::test::Entries(form().findChild<QMenu*>("File1"))
            .join(',')
            .contains("S&top,Check on the C&luster,C&heck the Rest,-"));  // Cluster/Redis is set
    open({{"Valid One <valid@ok.test>", ""},
          {"nobody@no.test", ""},
          {"skipped@ok.test", "", mv::kIconNotChecked, mv::kMarkUnchecked}});
    act("acCheckOnCluster")->trigger();
    QVERIFY(form().Running());
    QVERIFY(!form().close());  // refused, as during a run on this computer
    QVERIFY(!act("acCheckOnCluster")->isEnabled() && act("acAbort")->isEnabled());
    mv::test::Subprocess worker(
        {mv::test::CliPath(), "worker", "--redis", redis_->Url(), "--dns", world_->dnsServer(),
         "--dns-port", std::to_string(world_->dnsPort()), "--smtp-port",
         std::to_string(world_->smtpPort()), "--from", "me@checker.test", "--per-server", "0"},
        "", {"XDG_CONFIG_HOME=" + dir_->path().string()});
    QTRY_VERIFY_WITH_TIMEOUT(!form().Running(), 30000);
    worker.Signal(SIGTERM);
    QCOMPARE(worker.Wait(30000).exitCode, 0);
    QStringList rows;  // result and icon
    for (size_t row = 0; row < 3; ++row)
        rows << QString::fromStdString(std::string(list().SubItem(row, 0))) + " " +
                    QString::number(list().ImageIndex(row));
    QCOMPARE(rows,
             QStringList({"[0] Valid E-mail Address! 0", "[550] Mailbox unavailable 1", " -1"}));
    QCOMPARE(list().StateIndex(0), mv::kMarkUnchecked);  // a valid address is unmarked
    QCOMPARE(panel(2) + panel(3) + panel(4), QStringLiteral("Waiting: 0Good: 1Bad: 1"));
    QVERIFY(form().Modified());
    QVERIFY(act("acCheckOnCluster")->isEnabled());
}

void ClusterWindowTest::stopCancelsTheRun() {
    open({{"a@ok.test", ""}, {"b@ok.test", ""}});
    act("acCheckOnCluster")->trigger();
    // Nobody works on it: "S&top" cancels the run, and its rows stay as they were.
    QTRY_VERIFY_WITH_TIMEOUT(
        form().StatusBar()->currentMessage().contains("submitted to the cluster"), 10000);
    act("acAbort")->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(!form().Running(), 10000);
    QCOMPARE(panel(2) + panel(4), QStringLiteral("Waiting: 0Bad: 0"));
}

MV_UI_TEST_MAIN(ClusterWindowTest)
#include "cluster_window_test.moc"
