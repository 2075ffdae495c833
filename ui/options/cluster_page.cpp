#include "options/cluster_page.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <ctime>

#include "cluster/cluster_status.h"
#include "cluster/redis_connection.h"
#include "loop/qt_message_loop.h"
#include "platform/text/text_trim.h"
#include "settings/tini.h"

namespace mv::ui {

namespace {

constexpr int kAddressWidth = 300;
constexpr int kWorkerRows = 5;  // the list's height in rows

QString Text(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

ClusterPage::ClusterPage(QWidget* parent) : OptionsPage(parent) {
    setObjectName(QStringLiteral("TabSheetCluster"));
    edClusterRedis = MakeTextField(this, "edClusterRedis");
    edClusterRedis->setMinimumWidth(kAddressWidth);
    edClusterRedis->setPlaceholderText(QStringLiteral("redis://host:6379 or unix:///path"));
    edClusterUser = MakeTextField(this, "edClusterUser");
    edClusterPassword = MakeTextField(this, "edClusterPassword");
    edClusterPassword->setEchoMode(QLineEdit::Password);
    btTest = new QPushButton(QStringLiteral("&Test"), this);
    btTest->setObjectName(QStringLiteral("btTest"));
    lbTestResult = new QLabel(this);
    lbTestResult->setObjectName(QStringLiteral("lbTestResult"));
    lbTestResult->setWordWrap(true);
    lbTestResult->setTextInteractionFlags(Qt::TextSelectableByMouse);
    lvWorkers = new QTreeWidget(this);
    lvWorkers->setObjectName(QStringLiteral("lvWorkers"));
    lvWorkers->setRootIsDecorated(false);
    lvWorkers->setHeaderLabels({QStringLiteral("Worker"), QStringLiteral("Host"),
                                QStringLiteral("Checks"), QStringLiteral("State")});
    lvWorkers->setFixedHeight(lvWorkers->header()->sizeHint().height() +
                              kWorkerRows * lvWorkers->fontMetrics().height() * 3 / 2);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("&Redis address:"), edClusterRedis);
    form->addRow(QStringLiteral("&User:"), edClusterUser);
    form->addRow(QStringLiteral("&Password:"), edClusterPassword);
    form->addRow(QString(), MakeNote(this,
                                     "The password is stored as the other settings are: "
                                     "in plain text in the settings file."));
    auto* test = new QHBoxLayout;
    test->addWidget(btTest, 0, Qt::AlignTop);
    test->addWidget(lbTestResult, 1);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(MakeNote(this,
                               "\"Check on the Cluster\" in the File menu hands the marked "
                               "addresses to the workers (mailvetter-cli worker) of this "
                               "Redis server. Reach a remote server only over a private "
                               "network or a tunnel."));
    layout->addLayout(form);
    layout->addLayout(test);
    layout->addWidget(lvWorkers);
    layout->addStretch();
    connect(btTest, &QPushButton::clicked, this, [this] { EnterCore([this] { btTestClick(); }); });
}

// A test still under way ends with the page (never inside its callbacks).
ClusterPage::~ClusterPage() = default;

void ClusterPage::Load(TINI& ini) {
    edClusterRedis->setText(FromSetting(ini.ilClusterRedis.Text()));
    edClusterUser->setText(FromSetting(ini.ilClusterUser.Text()));
    edClusterPassword->setText(FromSetting(ini.ilClusterPassword.Text()));
}

void ClusterPage::Save(TINI& ini) {
    ini.ilClusterRedis.SetText(TrimBlanks(ToSetting(edClusterRedis->text())));
    ini.ilClusterUser.SetText(ToSetting(edClusterUser->text()));
    ini.ilClusterPassword.SetText(ToSetting(edClusterPassword->text()));
}

void ClusterPage::ShowTestResult(const QString& text) {
    lbTestResult->setText(text);
}

void ClusterPage::btTestClick() {
    lvWorkers->clear();
    std::string error;
    std::optional<cluster::RedisUrl> url =
        cluster::ParseRedisUrl(TrimBlanks(ToSetting(edClusterRedis->text())), error);
    if (!url)
        return ShowTestResult(QStringLiteral("The Redis address is malformed: ") + Text(error));
    cluster::UseStoredLogin(*url, ToSetting(edClusterUser->text()),
                            ToSetting(edClusterPassword->text()));
    // A test still under way is dropped: a click never comes inside its callbacks.
    test_ = std::make_unique<cluster::RedisConnection>();
    cluster::RedisConnection& connection = *test_;
    const std::string where = url->Display();
    ShowTestResult(QStringLiteral("Connecting to %1...").arg(Text(where)));
    connection.OnLost = [this](const std::string& message) { ShowTestResult(Text(message)); };
    connection.Connect(*url, [this, &connection, where](const std::string& failure) {
        if (!failure.empty()) return ShowTestResult(Text(failure));
        cluster::ReadClusterStatus(
            connection, "",
            [this, &connection, where](const std::string& e, const cluster::ClusterStatus& s) {
                connection.Close();
                if (!e.empty()) return ShowTestResult(Text(e));
                ShowWorkers(where, s);
            });
    });
}

void ClusterPage::ShowWorkers(const std::string& where, const cluster::ClusterStatus& status) {
    const int64_t now = std::time(nullptr);
    const QString version = Text(test_->ServerVersion());
    const QString workers = status.workers.size() == 1
                                ? QStringLiteral("1 worker")
                                : QStringLiteral("%1 workers").arg(status.workers.size());
    ShowTestResult(
        QStringLiteral("Connected to %1 (Redis %2): %3").arg(Text(where), version, workers));
    for (const cluster::WorkerStatus& w : status.workers) {
        auto* item =
            new QTreeWidgetItem(lvWorkers, {Text(w.name), Text(w.host), QString::number(w.done),
                                            Text(cluster::WorkerStateText(w, now))});
        item->setTextAlignment(2, Qt::AlignRight | Qt::AlignVCenter);
    }
    for (int c = 0; c < lvWorkers->columnCount(); ++c)
        lvWorkers->resizeColumnToContents(c);
}

}  // namespace mv::ui
