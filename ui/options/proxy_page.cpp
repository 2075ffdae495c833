#include "options/proxy_page.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QVBoxLayout>

#include "settings/tini.h"

namespace mv::ui {

namespace {

constexpr int kMaxPort = 65535;
const char* const kLevels[] = {"4", "4A", "5"};
constexpr const char* kDefaultLevel = "5";

}  // namespace

ProxyPage::ProxyPage(QWidget* parent) : OptionsPage(parent) {
    setObjectName(QStringLiteral("TabSheet3"));
    cbProxyEnabled = new QCheckBox(QStringLiteral("&Use a SOCKS proxy"), this);
    cbProxyEnabled->setObjectName(QStringLiteral("cbProxyEnabled"));
    edProxyServer = MakeTextField(this, "edProxyServer");
    edProxyPort = new QSpinBox(this);
    edProxyPort->setObjectName(QStringLiteral("edProxyPort"));
    edProxyPort->setRange(1, kMaxPort);
    cbProxyLevel = new QComboBox(this);
    cbProxyLevel->setObjectName(QStringLiteral("cbProxyLevel"));
    for (const char* level : kLevels)
        cbProxyLevel->addItem(QString::fromLatin1(level));
    edProxyUser = MakeTextField(this, "edProxyUser");
    edProxyPassword = MakeTextField(this, "edProxyPassword");
    edProxyPassword->setEchoMode(QLineEdit::Password);

    auto* server = new QHBoxLayout;
    server->addWidget(edProxyServer, 1);
    auto* portLabel = new QLabel(QStringLiteral("&Port:"), this);
    portLabel->setBuddy(edProxyPort);
    server->addWidget(portLabel);
    server->addWidget(edProxyPort);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("&Server:"), server);
    form->addRow(QStringLiteral("&Level:"), cbProxyLevel);
    form->addRow(QStringLiteral("Us&er:"), edProxyUser);
    form->addRow(QStringLiteral("Pass&word:"), edProxyPassword);
    form->addRow(QString(), MakeNote(this,
                                     "The password is stored as the other settings are: "
                                     "in plain text in the settings file."));
    // The server's label belongs to the field, not to its row's layout.
    if (auto* label = qobject_cast<QLabel*>(form->labelForField(server)))
        label->setBuddy(edProxyServer);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(cbProxyEnabled);
    layout->addWidget(MakeNote(this,
                               "The connections to the mail servers go through the "
                               "proxy; the DNS queries do not."));
    layout->addLayout(form);
    layout->addStretch();

    connect(cbProxyEnabled, &QCheckBox::toggled, this, &ProxyPage::UpdateFields);
    connect(cbProxyLevel, &QComboBox::currentTextChanged, this, &ProxyPage::UpdateFields);
}

void ProxyPage::UpdateFields() {
    const bool on = cbProxyEnabled->isChecked();
    for (QWidget* field : {static_cast<QWidget*>(edProxyServer), static_cast<QWidget*>(edProxyPort),
                           static_cast<QWidget*>(cbProxyLevel), static_cast<QWidget*>(edProxyUser)})
        SetDependentField(field, on);
    SetDependentField(edProxyPassword, on && cbProxyLevel->currentText() == kDefaultLevel);
}

void ProxyPage::Load(TINI& ini) {
    cbProxyEnabled->setChecked(ini.ilProxyEnabled.AsInteger() == 1);
    edProxyServer->setText(FromSetting(ini.ilProxyServer.Text()));
    const int port = ini.ilProxyPort.AsInteger();
    edProxyPort->setValue(port >= 1 && port <= kMaxPort ? port : kDefaultPort);
    const int level = cbProxyLevel->findText(FromSetting(ini.ilProxyLevel.Text()),
                                             Qt::MatchFixedString);  // "4a" is "4A"
    cbProxyLevel->setCurrentIndex(level >= 0 ? level : cbProxyLevel->findText(kDefaultLevel));
    edProxyUser->setText(FromSetting(ini.ilProxyUser.Text()));
    edProxyPassword->setText(FromSetting(ini.ilProxyPassword.Text()));
    UpdateFields();
}

void ProxyPage::Save(TINI& ini) {
    ini.ilProxyEnabled.SetAsInteger(cbProxyEnabled->isChecked() ? 1 : 0);
    ini.ilProxyServer.SetText(ToSetting(edProxyServer->text()));
    ini.ilProxyPort.SetAsInteger(edProxyPort->value());
    ini.ilProxyLevel.SetText(ToSetting(cbProxyLevel->currentText()));
    ini.ilProxyUser.SetText(ToSetting(edProxyUser->text()));
    ini.ilProxyPassword.SetText(ToSetting(edProxyPassword->text()));
}

}  // namespace mv::ui
