#include "modal_driver.h"

#include <QAbstractButton>
#include <QApplication>
#include <QEvent>
#include <QFileDialog>
#include <QPointer>
#include <QTimer>

namespace mv::test {

ModalDriver::ModalDriver() {
    qApp->installEventFilter(this);
}

ModalDriver::~ModalDriver() {
    qApp->removeEventFilter(this);
}

bool ModalDriver::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Show) {
        auto* dialog = qobject_cast<QDialog*>(watched);
        if (dialog != nullptr && dialog->isModal()) {
            // Act once the dialog runs its own loop, not inside its show().
            QPointer<QDialog> guard(dialog);
            QTimer::singleShot(0, this, [this, guard] {
                if (guard && guard->isVisible()) Handle(guard);
            });
        }
    }
    return QObject::eventFilter(watched, event);
}

void ModalDriver::Handle(QDialog* dialog) {
    SeenDialog seen;
    seen.className = QString::fromLatin1(dialog->metaObject()->className());
    seen.title = dialog->windowTitle();
    if (auto* box = qobject_cast<QMessageBox*>(dialog)) {
        seen.text = box->text();
        seen.icon = box->icon();
    }
    seen_.push_back(seen);
    if (actions_.empty()) {
        unexpected_ << seen.className + ": " + seen.title + ": " + seen.text;
        dialog->reject();
        return;
    }
    Action action = std::move(actions_.front());
    actions_.pop_front();
    action(dialog);
}

ModalDriver::Action ModalDriver::Press(QMessageBox::StandardButton button) {
    return [button](QDialog* dialog) {
        auto* box = qobject_cast<QMessageBox*>(dialog);
        QAbstractButton* b = box != nullptr ? box->button(button) : nullptr;
        if (b != nullptr)
            b->click();
        else
            dialog->reject();
    };
}

ModalDriver::Action ModalDriver::ChooseFile(const QString& path) {
    return [path](QDialog* dialog) {
        auto* files = qobject_cast<QFileDialog*>(dialog);
        if (files == nullptr) {
            dialog->reject();
            return;
        }
        files->selectFile(path);
        QMetaObject::invokeMethod(files, "accept");  // as the dialog's own button does
    };
}

ModalDriver::Action ModalDriver::Reject() {
    return [](QDialog* dialog) { dialog->reject(); };
}

}  // namespace mv::test
