#include "common/confirm.h"

#include <QMessageBox>

namespace mv::ui {

namespace {

Answer Ask(QWidget* parent, const QString& message, QMessageBox::StandardButtons buttons,
           QMessageBox::StandardButton escape) {
    QMessageBox box(QMessageBox::Question, QStringLiteral("Confirm"), message, buttons, parent);
    box.setEscapeButton(escape);
    box.setDefaultButton(QMessageBox::Yes);
    box.exec();
    const auto* clicked = box.clickedButton();
    if (clicked == box.button(QMessageBox::Yes)) return Answer::kYes;
    if (clicked == box.button(QMessageBox::No)) return Answer::kNo;
    return escape == QMessageBox::No ? Answer::kNo : Answer::kCancel;
}

}  // namespace

Answer ConfirmYesNoCancel(QWidget* parent, const QString& message) {
    return Ask(parent, message, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel,
               QMessageBox::Cancel);
}

Answer ConfirmYesNo(QWidget* parent, const QString& message) {
    return Ask(parent, message, QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
}

}  // namespace mv::ui
