// The hourglass cursor around work that keeps the window busy for a moment.
#pragma once

#include <QCursor>
#include <QGuiApplication>

namespace mv::ui {

// Shows the hourglass while it lives.
class WaitCursor {
  public:
    WaitCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QGuiApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

}  // namespace mv::ui
