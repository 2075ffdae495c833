// The splash window (TfrmSplash): the program's picture with the maker's
// notice, without frame or caption, on top of other windows and centred. It
// is shown and painted before anything else is created, and closes when its
// timer fires two seconds after its creation (later, when the program is
// slower to start: the timer needs the message loop). Until it closes the
// main window is visible but disabled, so it cannot be clicked.
#pragma once

#include <QPointer>
#include <QTimer>
#include <QWidget>

class QLabel;

namespace mv::ui {

class TfrmSplash : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kIntervalMs = 2000;

    // `intervalMs`: how long the splash stays at least; tests shorten it.
    explicit TfrmSplash(int intervalMs = kIntervalMs);

    // Shows the window and paints it at once.
    void ShowAndPaint();
    // The main window stays disabled until the splash closes.
    void HoldMainWindow(QWidget* mainWindow);

  protected:
    void closeEvent(QCloseEvent* event) override;  // FormClose

  private:
    void FormCreate();
    void Timer1Timer();

    QLabel* Image = nullptr;
    QLabel* lbNotice = nullptr;
    QTimer* Timer1 = nullptr;
    QPointer<QWidget> mainWindow_;
    bool closed_ = false;
};

}  // namespace mv::ui
