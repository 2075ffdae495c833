#include "options/connection_page.h"

#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>

#include "settings/tini.h"

namespace mv::ui {

namespace {

constexpr int kMinimum = 1;
constexpr int kMaximum = 999;
constexpr int kFromWidth = 260;

}  // namespace

QSpinBox* MakeNumberField(QWidget* parent, const char* name) {
    auto* field = new QSpinBox(parent);
    field->setObjectName(QString::fromLatin1(name));
    field->setRange(kMinimum, kMaximum);
    field->setWrapping(false);
    field->setAccelerated(true);
    field->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);  // three digits wide
    return field;
}

ConnectionPage::ConnectionPage(QWidget* parent) : OptionsPage(parent) {
    setObjectName(QStringLiteral("TabSheet1"));
    edConnections = MakeNumberField(this, "edConnections");
    edTimeOut = MakeNumberField(this, "edTimeOut");
    edFrom = new QLineEdit(this);
    edFrom->setObjectName(QStringLiteral("edFrom"));
    edFrom->setMinimumWidth(kFromWidth);

    auto* form = new QFormLayout(this);
    form->addRow(QStringLiteral("&Connections:"), edConnections);
    form->addRow(QStringLiteral("Time&out:"), edTimeOut);
    form->addRow(QStringLiteral("&From:"), edFrom);
}

void ConnectionPage::Load(TINI& ini) {
    edConnections->setValue(ini.ilConnections.AsInteger());
    edTimeOut->setValue(ini.ilTimeOut.AsInteger());
    edFrom->setText(FromSetting(ini.ilFrom.Text()));
}

void ConnectionPage::Save(TINI& ini) {
    ini.ilConnections.SetAsInteger(edConnections->value());
    ini.ilTimeOut.SetAsInteger(edTimeOut->value());
    ini.ilFrom.SetText(ToSetting(edFrom->text()));
}

}  // namespace mv::ui
