// The application's error display: every command runs through RunCommand, so
// that a user error raised anywhere inside it reaches one handler and is shown
// in one kind of box, a silent abort shows nothing, and no exception ever
// crosses Qt's event loop.
#pragma once

#include <functional>
#include <string>

#include "platform/error/exception.h"

class QWidget;

namespace mv::ui {

// Ends a command without a message: a cancelled prompt or dialog.
class EAbort : public Exception {
  public:
    EAbort() : Exception("Operation aborted") {}
    const char* ClassName() const override { return "EAbort"; }
};

// Ends the calling command silently.
[[noreturn]] void Abort();

// The text the box shows: the message with a "." appended when its last
// character sorts after ".".
std::string ErrorBoxText(const std::string& message);

// Shows `message` in a box with the stop icon, the title "Mailvetter" and an
// OK button, owned by `parent` (or the active window), and waits for it.
void ShowErrorBox(QWidget* parent, const std::string& message);

// Runs `command` as one entry into the core (EnterCore: nothing the core
// retires meanwhile is freed before it ends); a user error is shown with
// ShowErrorBox, EAbort is dropped. Returns true when the command ran to its
// end.
bool RunCommand(QWidget* parent, const std::function<void()>& command);

// Shows the exception being handled (inside a catch block); EAbort shows
// nothing. Used by RunCommand and by the application's last-resort handler.
void ShowCurrentException(QWidget* parent);

}  // namespace mv::ui
