// "&Contents..." (the help page installed with the program) and the maker's
// home page, both opened with the desktop's opener.
#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QUrl>

#include "common/app_info.h"
#include "main_window/main_form.h"

namespace mv::ui {

void TMainForm::WireHelpCommands() {
    Connect(acContent, &TMainForm::acContentExecute);
    Connect(acHomePage, &TMainForm::acHomePageExecute);
}

void TMainForm::acContentExecute() {
    const QString page = QDir::cleanPath(QDir(QCoreApplication::applicationDirPath())
                                             .filePath(QString::fromLatin1(kHelpPageRelativePath)));
    if (!QFileInfo::exists(page))
        throw Exception("Cannot find the help file " + page.toStdString());
    OpenWithDesktop(QUrl::fromLocalFile(page), page);
}

void TMainForm::acHomePageExecute() {
    OpenWithDesktop(QUrl(QString::fromLatin1(kHomePageUrl)), QString::fromLatin1(kHomePageUrl));
}

void TMainForm::OpenWithDesktop(const QUrl& url, const QString& what) {
    if (!openUrl || !openUrl(url))
        throw Exception("Cannot open " + what.toStdString() +
                        ": the desktop has no program to open it (is xdg-open installed?)");
}

}  // namespace mv::ui
