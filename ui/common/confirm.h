// The program's question boxes: the title "Confirm", the question icon, and
// the buttons Yes, No (and Cancel).
#pragma once

#include <QString>

class QWidget;

namespace mv::ui {

enum class Answer { kYes, kNo, kCancel };

// Yes, No or Cancel; closing the box without a button counts as Cancel.
Answer ConfirmYesNoCancel(QWidget* parent, const QString& message);
// Yes or No; closing the box without a button counts as No.
Answer ConfirmYesNo(QWidget* parent, const QString& message);

}  // namespace mv::ui
