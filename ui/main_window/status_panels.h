// The main window's status bar (StatusBar1): five panels of 120 pixels for
// the elapsed time, the total, waiting, good and bad counts, and after them,
// only while deferred addresses wait to be checked again, how many wait and
// when the next try is.
#pragma once

#include <QStatusBar>
#include <array>
#include <string>

class QLabel;

namespace mv::ui {

class StatusPanels final : public QStatusBar {
    Q_OBJECT
  public:
    static constexpr int kPanelCount = 5;
    static constexpr int kPanelWidth = 120;

    explicit StatusPanels(QWidget* parent = nullptr);

    // Shows the five texts in order, taking away a notice (showMessage).
    void Show(const std::array<std::string, kPanelCount>& texts);
    // "Elapsed:", "Total:", "Waiting:", "Good:", "Bad:" (ResetStatusBar).
    void Reset();
    QString PanelText(int panel) const;

    // Shows the deferred addresses' text; an empty text hides its panel.
    void ShowRecheck(const std::string& text);
    // The text shown; empty while the panel is hidden.
    QString RecheckText() const;

  private:
    std::array<QLabel*, kPanelCount> panels_{};
    QLabel* recheck_ = nullptr;
};

}  // namespace mv::ui
