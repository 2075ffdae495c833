// The application object of the desktop program: Qt's, with the program's
// names, and a last-resort guard so that no exception crosses Qt's event
// loop (commands catch their own errors; this catches what slips past).
#pragma once

#include <QApplication>

namespace mv::ui {

class Application : public QApplication {
    Q_OBJECT
  public:
    Application(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

}  // namespace mv::ui
