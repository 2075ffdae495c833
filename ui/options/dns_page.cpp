#include "options/dns_page.h"

#include <QFormLayout>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QVBoxLayout>

#include "settings/tini.h"

namespace mv::ui {

namespace {

constexpr int kIndent = 20;  // the host frame sits under its radio button's text

QLineEdit* MakeField(QWidget* parent, const char* name) {
    auto* field = new QLineEdit(parent);
    field->setObjectName(QString::fromLatin1(name));
    return field;
}

}  // namespace

DnsPage::DnsPage(QWidget* parent) : OptionsPage(parent) {
    setObjectName(QStringLiteral("TabSheet2"));
    rbHostFromDomain =
        new QRadioButton(QStringLiteral("Host name is the &domain of your FROM field"), this);
    rbHostFromDomain->setObjectName(QStringLiteral("rbHostFromDomain"));
    edSpecifyHost = new QRadioButton(QStringLiteral("Sp&ecify a host name"), this);
    edSpecifyHost->setObjectName(QStringLiteral("edSpecifyHost"));
    connect(rbHostFromDomain, &QRadioButton::toggled, this, &DnsPage::rbHostFromDomainClick);
    connect(edSpecifyHost, &QRadioButton::toggled, this, &DnsPage::rbHostFromDomainClick);

    auto* hostFrame = new QFrame(this);
    hostFrame->setFrameShape(QFrame::StyledPanel);
    edHost = MakeField(hostFrame, "edHost");
    auto* hostForm = new QFormLayout(hostFrame);
    hostForm->addRow(QStringLiteral("&Host name:"), edHost);

    edDNS1 = MakeField(this, "edDNS1");
    edDNS2 = MakeField(this, "edDNS2");
    auto* servers = new QFormLayout;
    servers->addRow(QStringLiteral("&Primary DNS:"), edDNS1);
    servers->addRow(QStringLiteral("&Secondary DNS:"), edDNS2);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(rbHostFromDomain);
    layout->addWidget(edSpecifyHost);
    auto* indented = new QHBoxLayout;
    indented->addSpacing(kIndent);
    indented->addWidget(hostFrame);
    layout->addLayout(indented);
    layout->addSpacing(8);
    layout->addLayout(servers);
    layout->addStretch();
}

void DnsPage::rbHostFromDomainClick() {
    SetDependentField(edHost, edSpecifyHost->isChecked());
}

void DnsPage::Load(TINI& ini) {
    if (ini.ilHostFromDomain.AsInteger() == 1)
        rbHostFromDomain->setChecked(true);
    else
        edSpecifyHost->setChecked(true);
    edHost->setText(FromSetting(ini.ilHost.Text()));
    edDNS1->setText(FromSetting(ini.ilDNS1.Text()));
    edDNS2->setText(FromSetting(ini.ilDNS2.Text()));
    rbHostFromDomainClick();
}

void DnsPage::Save(TINI& ini) {
    ini.ilHostFromDomain.SetAsInteger(rbHostFromDomain->isChecked() ? 1 : 0);
    ini.ilHost.SetText(ToSetting(edHost->text()));
    ini.ilDNS1.SetText(ToSetting(edDNS1->text()));
    // An empty primary takes the secondary's place.
    if (!ini.ilDNS1.Text().empty()) {
        ini.ilDNS2.SetText(ToSetting(edDNS2->text()));
    } else {
        ini.ilDNS1.SetText(ToSetting(edDNS2->text()));
        ini.ilDNS2.SetText("");
    }
}

}  // namespace mv::ui
