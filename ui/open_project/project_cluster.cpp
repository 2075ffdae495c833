// The open project's run on the cluster ("Check on the C&luster"): the core's
// ClusterRun over the project's list, its events passed on as the same
// signals as those of the run on this computer, so that the window shows
// both alike.
#include <QFileInfo>

#include "address/address_knowledge.h"
#include "cluster/cluster_run.h"
#include "open_project/project.h"
#include "settings/tini.h"

namespace mv::ui {

namespace {

QString Text(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

bool TProject::Running() const {
    return run_.Running() || (clusterRun_ && clusterRun_->Running());
}

void TProject::StopRun() {
    if (clusterRun_ && clusterRun_->Running())
        clusterRun_->Stop();
    else
        run_.Stop();
}

std::array<std::string, 5> TProject::StatusTexts() const {
    return clusterShown_ ? clusterRun_->StatusTexts() : run_.StatusTexts();
}

std::string TProject::RecheckText() const {
    return clusterShown_ ? clusterRun_->RecheckText() : run_.RecheckText();
}

void TProject::StartClusterRun(TINI& ini) {
    std::string error;
    std::optional<cluster::RedisUrl> url = cluster::ParseRedisUrl(ini.ilClusterRedis.Text(), error);
    if (!url)
        throw ECheckRunError("The Redis address of the cluster is malformed: " + error +
                             " (Tools | Options)");
    cluster::UseStoredLogin(*url, ini.ilClusterUser.Text(), ini.ilClusterPassword.Text());
    // The run's own options; the rest is each worker's.
    const CheckSettings settings = CheckSettings::FromIni(ini);
    cluster::RunOptions options;
    options.input = projectFileName_.isEmpty()
                        ? std::string("New Project")
                        : QFileInfo(projectFileName_).fileName().toStdString();
    options.acceptAllProbe = settings.acceptAllProbe;
    options.recheckSeconds = settings.recheckDeferred;
    AddressKnowledge::Installed();  // as a run on this computer: a list missing refuses it
    // A ClusterRun watches one run; the last one may still be on the stack.
    if (clusterRun_) loop_.DeleteLater(std::move(clusterRun_));
    clusterRun_ = std::make_unique<cluster::ClusterRun>(list_, loop_);
    WireClusterRun();
    clusterRun_->Start(*url, options);
    clusterShown_ = true;
}

void TProject::WireClusterRun() {
    cluster::ClusterRun& run = *clusterRun_;
    run.OnModified = [this] { SetModified(true); };
    run.OnRunningChanged = [this](bool running) { emit RunningChanged(running); };
    run.OnStatusChanged = [this] { emit StatusChanged(); };
    run.OnRowBegun = [this](size_t row) { emit RowBegun(row); };
    run.OnRowReported = [this](size_t row, int) { emit RowReported(row); };
    run.OnSubmitted = [this](const std::string& name) {
        emit RunNote(QStringLiteral("Run %1 submitted to the cluster").arg(Text(name)));
    };
    run.OnFailed = [this](const std::string& message) { emit RunFailed(Text(message)); };
    run.OnMessage = [this](const std::string& message) { emit RunNote(Text(message)); };
}

}  // namespace mv::ui
