#include "common/application.h"

#include "common/app_info.h"
#include "common/error_display.h"
#include "common/icons.h"

namespace mv::ui {

Application::Application(int& argc, char** argv) : QApplication(argc, argv) {
    // Not the display name: Qt would append it to every window caption.
    setApplicationName(QString::fromLatin1(kProgramName));
    setApplicationVersion(QString::fromLatin1(kVersion));
    setOrganizationName(QStringLiteral("Corvane"));
    setDesktopFileName(QString::fromLatin1(kProgramName));
    setWindowIcon(Icon(IconId::kProgram));
}

bool Application::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        ShowCurrentException(nullptr);
        return false;
    }
}

}  // namespace mv::ui
