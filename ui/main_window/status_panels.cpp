#include "main_window/status_panels.h"

#include <QLabel>

#include "project/run/check_run.h"

namespace mv::ui {

StatusPanels::StatusPanels(QWidget* parent) : QStatusBar(parent) {
    setSizeGripEnabled(true);
    for (QLabel*& panel : panels_) {
        panel = new QLabel(this);
        panel->setFixedWidth(kPanelWidth);
        panel->setFrameShape(QFrame::Panel);
        panel->setFrameShadow(QFrame::Sunken);
        panel->setContentsMargins(2, 0, 2, 0);
        addWidget(panel);
    }
    recheck_ = new QLabel(this);
    recheck_->setObjectName(QStringLiteral("RecheckPanel"));
    recheck_->setFrameShape(QFrame::Panel);
    recheck_->setFrameShadow(QFrame::Sunken);
    recheck_->setContentsMargins(2, 0, 2, 0);
    addWidget(recheck_);
    Reset();
}

void StatusPanels::Show(const std::array<std::string, kPanelCount>& texts) {
    clearMessage();  // a notice covers the panels until they have news
    for (int i = 0; i < kPanelCount; ++i) {
        const QString text = QString::fromStdString(texts[static_cast<size_t>(i)]);
        QLabel* panel = panels_[static_cast<size_t>(i)];
        if (panel->text() != text) panel->setText(text);
    }
}

void StatusPanels::Reset() {
    std::array<std::string, kPanelCount> texts;
    for (size_t i = 0; i < texts.size(); ++i)
        texts[i] = CheckRun::kIdleStatus[i];
    Show(texts);
    ShowRecheck({});
}

void StatusPanels::ShowRecheck(const std::string& text) {
    const QString shown = QString::fromStdString(text);
    if (recheck_->text() != shown) recheck_->setText(shown);
    recheck_->setVisible(!shown.isEmpty());
}

QString StatusPanels::RecheckText() const {
    return recheck_->isHidden() ? QString() : recheck_->text();
}

QString StatusPanels::PanelText(int panel) const {
    return panels_.at(static_cast<size_t>(panel))->text();
}

}  // namespace mv::ui
