// The transcript of one recipient's last check (TFormLog): a resizable window
// whose only control is a read-only memo filling it. The text can be selected
// and copied but not changed; the window has no buttons and is closed with
// its close box (or Escape).
#pragma once

#include <QDialog>
#include <string>
#include <vector>

class QPlainTextEdit;

namespace mv::ui {

class TFormLog final : public QDialog {
    Q_OBJECT
  public:
    static constexpr QSize kInitialSize{294, 205};

    // "Log of %s" with `address`, the memo holding `lines` in order.
    TFormLog(const QString& address, const std::vector<std::string>& lines,
             QWidget* parent = nullptr);

    QPlainTextEdit* Memo1 = nullptr;
};

}  // namespace mv::ui
