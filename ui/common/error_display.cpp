#include "common/error_display.h"

#include <QApplication>
#include <QMessageBox>
#include <exception>

#include "common/app_info.h"
#include "loop/qt_message_loop.h"

namespace mv::ui {

void Abort() {
    throw EAbort();
}

std::string ErrorBoxText(const std::string& message) {
    if (!message.empty() && static_cast<unsigned char>(message.back()) > '.') return message + ".";
    return message;
}

void ShowErrorBox(QWidget* parent, const std::string& message) {
    if (parent == nullptr) parent = QApplication::activeWindow();
    QMessageBox box(QMessageBox::Critical, QString::fromUtf8(kAppTitle),
                    QString::fromStdString(ErrorBoxText(message)), QMessageBox::Ok, parent);
    box.exec();
}

void ShowCurrentException(QWidget* parent) {
    std::string message;
    try {
        throw;
    } catch (const EAbort&) {
        return;  // a silent abort: nothing to show
    } catch (const std::bad_alloc&) {
        message = "Out of memory";
    } catch (const std::exception& e) {
        message = e.what();
    } catch (...) {
        message = "Unknown error";
    }
    try {
        ShowErrorBox(parent, message);
    } catch (...) {
        // Nothing is left to tell the user with; the loop must go on.
    }
}

bool RunCommand(QWidget* parent, const std::function<void()>& command) {
    bool ranToEnd = false;
    EnterCore([&] {
        try {
            command();
            ranToEnd = true;
        } catch (...) {
            // The command's own code has gone: its box need not hold up
            // what the loop frees.
            OutsideCore([&] { ShowCurrentException(parent); });
        }
    });
    return ranToEnd;
}

}  // namespace mv::ui
