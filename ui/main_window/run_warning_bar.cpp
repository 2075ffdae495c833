#include "main_window/run_warning_bar.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

namespace mv::ui {

namespace {

QPushButton* MakeButton(QWidget* parent, const QString& caption, const char* name) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QString::fromLatin1(name));
    return button;
}

}  // namespace

RunWarningBar::RunWarningBar(QWidget* parent) : QFrame(parent) {
    setObjectName(QStringLiteral("RunWarningBar"));
    setFrameShape(QFrame::StyledPanel);
    setAutoFillBackground(true);
    QPalette colours = palette();
    colours.setColor(QPalette::Window, QColor(255, 243, 205));  // a pale amber
    colours.setColor(QPalette::WindowText, Qt::black);
    setPalette(colours);

    auto* btStop = MakeButton(this, QStringLiteral("Stop"), "btStop");
    auto* btGoOn = MakeButton(this, QStringLiteral("Go on"), "btGoOn");
    auto* btClose = MakeButton(this, QStringLiteral("Close"), "btCloseFailures");
    auto* rows = new QVBoxLayout(this);
    rows->setContentsMargins(6, 4, 6, 4);
    warningRow_ = AddRow(lbRunWarning, "lbRunWarning", {btStop, btGoOn});
    failureRow_ = AddRow(lbFailures, "lbFailures", {btClose});
    rows->addWidget(warningRow_);
    rows->addWidget(failureRow_);

    connect(btStop, &QPushButton::clicked, this, &RunWarningBar::stopClicked);
    connect(btGoOn, &QPushButton::clicked, this, &RunWarningBar::goOnClicked);
    connect(btClose, &QPushButton::clicked, this, [this] {
        failures_.clear();
        otherFailures_ = 0;
        ShowFailures();
    });
    warningRow_->hide();
    failureRow_->hide();
    hide();
}

QWidget* RunWarningBar::AddRow(QLabel*& label, const char* name,
                               const std::vector<QPushButton*>& buttons) {
    auto* row = new QWidget(this);
    auto* icon = new QLabel(row);
    const int size = style()->pixelMetric(QStyle::PM_SmallIconSize);
    icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(size, size));
    label = new QLabel(row);
    label->setObjectName(QString::fromLatin1(name));
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* line = new QHBoxLayout(row);
    line->setContentsMargins(0, 0, 0, 0);
    line->addWidget(icon, 0, Qt::AlignTop);
    line->addWidget(label, 1);
    for (QPushButton* button : buttons) {
        button->setParent(row);
        line->addWidget(button, 0, Qt::AlignTop);
    }
    return row;
}

void RunWarningBar::ShowWarning(const QString& message) {
    lbRunWarning->setText(QStringLiteral("Warning: ") + message);
    warningRow_->show();
    Update();
}

void RunWarningBar::HideWarning() {
    warningRow_->hide();
    Update();
}

QString RunWarningBar::Text() const {
    return warningRow_->isHidden() ? QString() : lbRunWarning->text();
}

void RunWarningBar::AddFailure(const QString& message) {
    for (auto& [known, times] : failures_) {
        if (known != message) continue;
        ++times;
        ShowFailures();
        return;
    }
    if (failures_.size() < kMaxFailures)
        failures_.emplace_back(message, 1);
    else
        ++otherFailures_;
    ShowFailures();
}

void RunWarningBar::ShowFailures() {
    QStringList lines;
    for (const auto& [message, times] : failures_)
        lines << (times > 1
                      ? QStringLiteral("Internal error (%1 times): %2").arg(times).arg(message)
                      : QStringLiteral("Internal error: %1").arg(message));
    if (otherFailures_ > 0) lines << QStringLiteral("%1 more internal errors").arg(otherFailures_);
    lbFailures->setText(lines.join(QLatin1Char('\n')));
    failureRow_->setVisible(!lines.isEmpty());
    Update();
}

QString RunWarningBar::FailureText() const {
    return failureRow_->isHidden() ? QString() : lbFailures->text();
}

void RunWarningBar::Update() {
    setVisible(!warningRow_->isHidden() || !failureRow_->isHidden());
}

}  // namespace mv::ui
