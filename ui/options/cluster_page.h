// The options page "Cluster": the Redis server through which the marked
// addresses are checked on many computers (Cluster/Redis, a redis:// or
// unix:// address; Cluster/User and Cluster/Password, the login used when
// the address holds none). "&Test" connects with what the fields hold and
// lists the workers the server knows; it waits on the message loop, so the
// dialog stays usable meanwhile.
#pragma once

#include <memory>
#include <string>

#include "options/options_page.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;

namespace mv::cluster {
class RedisConnection;
struct ClusterStatus;
}  // namespace mv::cluster

namespace mv::ui {

class ClusterPage : public OptionsPage {
    Q_OBJECT
  public:
    explicit ClusterPage(QWidget* parent);
    ~ClusterPage() override;
    QString Caption() const override { return QStringLiteral("Cluster"); }
    void Load(TINI& ini) override;
    void Save(TINI& ini) override;

  private:
    void btTestClick();
    void ShowWorkers(const std::string& where, const cluster::ClusterStatus& status);
    void ShowTestResult(const QString& text);

    QLineEdit* edClusterRedis = nullptr;
    QLineEdit* edClusterUser = nullptr;
    QLineEdit* edClusterPassword = nullptr;
    QPushButton* btTest = nullptr;
    QLabel* lbTestResult = nullptr;
    QTreeWidget* lvWorkers = nullptr;
    std::unique_ptr<cluster::RedisConnection> test_;  // the connection of the last "&Test"
};

}  // namespace mv::ui
