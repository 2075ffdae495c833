// The main window's status bar (StatusBar1): five panels of 120 pixels for
// the elapsed time, the total, waiting, good and bad counts; after them, only
// while deferred addresses wait to be checked again, how many wait and when
// the next try is; and, only while the list shows some of its rows,
// "Showing N of M". The panels are permanent: the hints of menu entries and
// tool buttons, and the window's own notes (ShowNote), are shown beside them
// instead of over them.
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

    // Shows the five texts in order.
    void Show(const std::array<std::string, kPanelCount>& texts);
    // "Elapsed:", "Total:", "Waiting:", "Good:", "Bad:" (ResetStatusBar).
    void Reset();
    QString PanelText(int panel) const;

    // Shows the deferred addresses' text; an empty text hides its panel.
    void ShowRecheck(const std::string& text);
    // The text shown; empty while the panel is hidden.
    QString RecheckText() const;

    // "Showing N of M" while the list shows `shown` of its `total` rows;
    // hidden when it shows all of them (`filtered` false).
    void ShowShowing(bool filtered, size_t shown, size_t total);
    QString ShowingText() const;

    // A note of the window beside the panels, which make room for it, for
    // kNoteMs or until a hint, another message or Reset takes its place.
    void ShowNote(const QString& note);
    static constexpr int kNoteMs = 20000;

  private:
    QLabel* AddPanel(const char* name, QLabel* panel);
    void FitCounters();

    std::array<QLabel*, kPanelCount> panels_{};
    QLabel* recheck_ = nullptr;
    QLabel* showing_ = nullptr;
    QString note_;  // the note shown, if any
};

}  // namespace mv::ui
