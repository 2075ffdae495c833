#include "options/options_page.h"

#include <QApplication>
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

QString FromSetting(const std::string& text) {
    return QString::fromStdString(text);
}

std::string ToSetting(const QString& text) {
    return text.toStdString();
}

}  // namespace mv::ui
