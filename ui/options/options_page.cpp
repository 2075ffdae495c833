#include "options/options_page.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>

namespace mv::ui {

void SetDependentField(QWidget* field, bool enabled) {
    field->setEnabled(enabled);
    const QPalette standard = QApplication::palette(field);
    const QColor background =
        standard.color(QPalette::Active, enabled ? QPalette::Base : QPalette::Button);
    QPalette palette = field->palette();
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        palette.setColor(group, QPalette::Base, background);
    field->setPalette(palette);
}

QLineEdit* MakeTextField(QWidget* parent, const char* name) {
    auto* field = new QLineEdit(parent);
    field->setObjectName(QString::fromLatin1(name));
    return field;
}

QLabel* MakeNote(QWidget* parent, const char* text) {
    auto* note = new QLabel(QString::fromLatin1(text), parent);
    note->setWordWrap(true);
    note->setForegroundRole(QPalette::PlaceholderText);
    return note;
}

QString FromSetting(const std::string& text) {
    return QString::fromStdString(text);
}

std::string ToSetting(const QString& text) {
    return text.toStdString();
}

}  // namespace mv::ui
