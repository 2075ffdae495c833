// One page of the options dialog (TFormOptions): its controls, filled from
// the settings when the dialog is created and written back on OK. Each page is
// a class of its own in its own file; the dialog's list of pages
// (options_form.cpp) decides their order.
#pragma once

#include <QString>
#include <QWidget>

class QLabel;
class QLineEdit;

namespace mv {
class TINI;
}

namespace mv::ui {

class OptionsPage : public QWidget {
    Q_OBJECT
  public:
    using QWidget::QWidget;

    // The page's tab caption.
    virtual QString Caption() const = 0;
    // Shows the stored settings.
    virtual void Load(TINI& ini) = 0;
    // Writes the page's values; each key writes only when its value changed.
    virtual void Save(TINI& ini) = 0;
};

// Enables or disables a field that depends on a choice, with the background
// the user reads as "can be typed in": the window colour when enabled, the
// button-face colour when disabled. Its text stays as it is.
void SetDependentField(QWidget* field, bool enabled);

// A text field named `name`, and a note in the muted colour of hints that
// wraps its lines: the parts most pages are made of.
QLineEdit* MakeTextField(QWidget* parent, const char* name);
QLabel* MakeNote(QWidget* parent, const char* text);

// QString and the settings' UTF-8 text.
QString FromSetting(const std::string& text);
std::string ToSetting(const QString& text);

}  // namespace mv::ui
