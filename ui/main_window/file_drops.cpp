// Project files dropped onto the window from the desktop: the first ".mlt"
// file of a drop is opened as "&Open..." would (with the modified prompt).
// While a run is under way the window takes no drops.
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QTimer>
#include <QUrl>

#include "main_window/main_form.h"

namespace mv::ui {

QString TMainForm::FirstProjectFile(const QMimeData* data) {
    if (data == nullptr || !data->hasUrls()) return {};
    for (const QUrl& url : data->urls()) {
        if (url.isLocalFile() && IsProjectFileName(url.toLocalFile().toStdString()))
            return url.toLocalFile();
    }
    return {};
}

void TMainForm::dragEnterEvent(QDragEnterEvent* event) {
    if (!Running() && !FirstProjectFile(event->mimeData()).isEmpty())
        event->acceptProposedAction();
    else
        event->ignore();
}

void TMainForm::dragMoveEvent(QDragMoveEvent* event) {
    if (!Running() && !FirstProjectFile(event->mimeData()).isEmpty())
        event->acceptProposedAction();
    else
        event->ignore();
}

void TMainForm::dropEvent(QDropEvent* event) {
    const QString fileName = Running() ? QString() : FirstProjectFile(event->mimeData());
    if (fileName.isEmpty()) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    // Opened once the drop is over: the prompt and the error box must not
    // hold up the program the file came from.
    QTimer::singleShot(0, this, [this, fileName] { OpenDroppedFile(fileName); });
}

void TMainForm::OpenDroppedFile(const QString& fileName) {
    if (Running()) return;
    RunCommand([&] {
        AskSaveChanges();
        OpenProject(fileName);
    });
}

}  // namespace mv::ui
