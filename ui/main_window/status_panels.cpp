#include "main_window/status_panels.h"

#include <QLabel>

#include "project/run/check_run.h"

namespace mv::ui {

namespace {

// One of the five counters: 120 pixels wide. While an optional panel shows
// beside them in a narrow window, they give up width down to what their
// texts need; while a note is shown, they take no more (FitCounters).
class CounterPanel final : public QLabel {
  public:
    using QLabel::QLabel;
    void SetCompact(bool compact) {
        if (compact == compact_) return;
        compact_ = compact;
        updateGeometry();
    }
    QSize sizeHint() const override {
        if (compact_) return minimumSizeHint();
        return {StatusPanels::kPanelWidth, QLabel::sizeHint().height()};
    }
    QSize minimumSizeHint() const override {
        const QMargins m = contentsMargins();
        const int width = fontMetrics().horizontalAdvance(text());
        return {width + m.left() + m.right() + 2 * (frameWidth() + margin()),
                QLabel::sizeHint().height()};
    }

  private:
    bool compact_ = false;
};

}  // namespace

StatusPanels::StatusPanels(QWidget* parent) : QStatusBar(parent) {
    setSizeGripEnabled(true);
    for (QLabel*& panel : panels_) {
        panel = AddPanel("", new CounterPanel(this));
        panel->setMaximumWidth(kPanelWidth);
    }
    // The optional panels keep the width of their texts.
    recheck_ = AddPanel("RecheckPanel", new QLabel(this));
    showing_ = AddPanel("ShowingPanel", new QLabel(this));
    for (QLabel* panel : {recheck_, showing_})
        panel->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
    // A hint or another message in its place ends the note.
    connect(this, &QStatusBar::messageChanged, this, [this](const QString& message) {
        if (message == note_) return;
        note_.clear();
        FitCounters();
    });
    Reset();
    ShowShowing(false, 0, 0);
}

QLabel* StatusPanels::AddPanel(const char* name, QLabel* panel) {
    panel->setObjectName(QString::fromLatin1(name));
    panel->setFrameShape(QFrame::Panel);
    panel->setFrameShadow(QFrame::Sunken);
    panel->setContentsMargins(2, 0, 2, 0);
    addPermanentWidget(panel);
    return panel;
}

void StatusPanels::Show(const std::array<std::string, kPanelCount>& texts) {
    for (int i = 0; i < kPanelCount; ++i) {
        const QString text = QString::fromStdString(texts[static_cast<size_t>(i)]);
        QLabel* panel = panels_[static_cast<size_t>(i)];
        if (panel->text() != text) panel->setText(text);
    }
}

void StatusPanels::Reset() {
    clearMessage();  // a note belongs to the project it was about
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
    FitCounters();
}

void StatusPanels::FitCounters() {
    const bool noted = !note_.isEmpty();
    const bool crowded = noted || !recheck_->isHidden() || !showing_->isHidden();
    for (QLabel* panel : panels_) {
        panel->setMinimumWidth(crowded ? 0 : kPanelWidth);
        static_cast<CounterPanel*>(panel)->SetCompact(noted);
    }
}

QString StatusPanels::RecheckText() const {
    return recheck_->isHidden() ? QString() : recheck_->text();
}

void StatusPanels::ShowShowing(bool filtered, size_t shown, size_t total) {
    const QString text =
        filtered ? QStringLiteral("Showing %1 of %2").arg(shown).arg(total) : QString();
    if (showing_->text() != text) showing_->setText(text);
    showing_->setVisible(filtered);
    FitCounters();
}

QString StatusPanels::ShowingText() const {
    return showing_->isHidden() ? QString() : showing_->text();
}

void StatusPanels::ShowNote(const QString& note) {
    note_ = note;
    showMessage(note, kNoteMs);
    FitCounters();
}

QString StatusPanels::PanelText(int panel) const {
    return panels_.at(static_cast<size_t>(panel))->text();
}

}  // namespace mv::ui
