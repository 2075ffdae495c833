#include "preflight/preflight_form.h"

#include <QApplication>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QTableWidget>
#include <QVBoxLayout>

#include "loop/qt_message_loop.h"
#include "project/preflight/outgoing_address.h"

namespace mv::ui {

namespace {

enum Column { kCheck, kResult, kAdvice };

QIcon StatusIcon(PreflightStatus status, bool pending) {
    QStyle* style = QApplication::style();
    if (pending) return style->standardIcon(QStyle::SP_BrowserReload);
    switch (status) {
        case PreflightStatus::kOk:
            return style->standardIcon(QStyle::SP_DialogApplyButton);
        case PreflightStatus::kWarning:
            return style->standardIcon(QStyle::SP_MessageBoxWarning);
        case PreflightStatus::kFailed:
            return style->standardIcon(QStyle::SP_MessageBoxCritical);
        case PreflightStatus::kSkipped:
            return style->standardIcon(QStyle::SP_MessageBoxInformation);
    }
    return {};
}

}  // namespace

TFormPreflight::TFormPreflight(PreflightSettings settings, MessageLoop& loop, QWidget* owner)
    : QDialog(owner), settings_(std::move(settings)), loop_(loop) {
    setObjectName(QStringLiteral("FormPreflight"));
    setWindowTitle(QStringLiteral("Check This Computer"));
    lbIntro = new QLabel(
        QStringLiteral("Whether this computer can check addresses: its DNS servers, the sender "
                       "and HELO name the mail servers see, outgoing port 25 and the address "
                       "the mail servers see."),
        this);
    lbIntro->setWordWrap(true);
    edPublicAddress = new QLineEdit(QString::fromStdString(settings_.publicAddress), this);
    edPublicAddress->setObjectName(QStringLiteral("edPublicAddress"));
    edPublicAddress->setPlaceholderText(QStringLiteral("the router's address, when behind one"));
    lvChecks = new QTableWidget(0, 3, this);
    lvChecks->setObjectName(QStringLiteral("lvChecks"));
    lvChecks->setSelectionMode(QAbstractItemView::NoSelection);
    lvChecks->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lvChecks->setFocusPolicy(Qt::NoFocus);
    lvChecks->setShowGrid(false);
    lvChecks->setWordWrap(true);  // the advice wraps; the rows grow to hold it
    lvChecks->verticalHeader()->hide();
    lvChecks->setHorizontalHeaderLabels(
        {QStringLiteral("Check"), QStringLiteral("Result"), QStringLiteral("Advice")});
    lvChecks->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    lvChecks->horizontalHeader()->setStretchLastSection(true);
    lvChecks->setColumnWidth(kCheck, 200);
    lvChecks->setColumnWidth(kResult, 90);
    connect(lvChecks->horizontalHeader(), &QHeaderView::sectionResized, lvChecks,
            &QTableView::resizeRowsToContents);
    lbStatus = new QLabel(this);
    lbStatus->setObjectName(QStringLiteral("lbStatus"));
    btAgain = new QPushButton(QStringLiteral("Check &Again"), this);
    btAgain->setObjectName(QStringLiteral("btAgain"));
    btClose = new QPushButton(QStringLiteral("Close"), this);
    btClose->setObjectName(QStringLiteral("btClose"));
    btClose->setDefault(true);
    // The check runs on the core's loop: starting it is an entry into the core.
    connect(btAgain, &QPushButton::clicked, this, [this] { EnterCore([this] { StartCheck(); }); });
    connect(btClose, &QPushButton::clicked, this, &QDialog::accept);

    auto* address = new QFormLayout;
    address->addRow(QStringLiteral("&Public address:"), edPublicAddress);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(lbStatus, 1);
    buttons->addWidget(btAgain);
    buttons->addWidget(btClose);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lbIntro);
    layout->addLayout(address);
    layout->addWidget(lvChecks, 1);
    layout->addLayout(buttons);
    resize(780, 420);
}

TFormPreflight::~TFormPreflight() = default;

void TFormPreflight::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!started_) EnterCore([this] { StartCheck(); });
}

void TFormPreflight::StartCheck() {
    started_ = true;
    const QString typed = edPublicAddress->text().trimmed();
    if (!typed.isEmpty() && !IsDottedQuad(typed.toStdString())) {
        lbStatus->setText(QStringLiteral("The public address must be an IPv4 address."));
        return;
    }
    settings_.publicAddress = typed.toStdString();
    run_ = std::make_unique<PreflightRun>(loop_, settings_);
    run_->OnChanged = [this] { ShowItems(); };
    run_->OnFinished = [this] { Finished(); };
    btAgain->setEnabled(false);
    lbStatus->setText(QStringLiteral("Checking..."));
    run_->Start();
    ShowItems();
}

void TFormPreflight::ShowItems() {
    const std::vector<PreflightItem> items = run_->Items();
    lvChecks->setRowCount(static_cast<int>(items.size()));
    for (size_t i = 0; i < items.size(); ++i) {
        const int row = static_cast<int>(i);
        const bool pending = run_->Pending(i);
        const QString advice = pending ? QString() : QString::fromStdString(items[i].advice);
        auto* result = new QTableWidgetItem(
            StatusIcon(items[i].status, pending),
            pending ? QStringLiteral("checking...")
                    : QString::fromLatin1(PreflightStatusName(items[i].status)));
        lvChecks->setItem(row, kCheck, new QTableWidgetItem(QString::fromStdString(items[i].name)));
        lvChecks->setItem(row, kResult, result);
        lvChecks->setItem(row, kAdvice, new QTableWidgetItem(advice));
        for (int column : {kCheck, kResult})
            lvChecks->item(row, column)->setTextAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    }
    lvChecks->resizeRowsToContents();
}

void TFormPreflight::Finished() {
    ShowItems();
    btAgain->setEnabled(true);
    const std::vector<PreflightItem> items = run_->Items();
    const QString seconds = QString::number(run_->ElapsedMs() / 1000.0, 'f', 1);
    lbStatus->setText(AnyPreflightFailed(items)
                          ? QStringLiteral("Checked in %1 s: fix the failed checks before you "
                                           "check a real list.")
                                .arg(seconds)
                          : QStringLiteral("Checked in %1 s.").arg(seconds));
}

}  // namespace mv::ui
