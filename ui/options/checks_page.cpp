#include "options/checks_page.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <algorithm>

#include "platform/text/text_trim.h"
#include "project/preflight/preflight_settings.h"
#include "project/run/check_run.h"
#include "settings/tini.h"

namespace mv::ui {

namespace {

constexpr int kAddressWidth = 160;
constexpr int kZonesWidth = 260;

QSpinBox* MakeSpin(QWidget* parent, const char* name, int maximum, int minimum = 0) {
    auto* field = new QSpinBox(parent);
    field->setObjectName(QString::fromLatin1(name));
    field->setRange(minimum, maximum);
    field->setAccelerated(true);
    return field;
}

QLineEdit* MakeText(QWidget* parent, const char* name, int width, const char* placeholder) {
    auto* field = new QLineEdit(parent);
    field->setObjectName(QString::fromLatin1(name));
    field->setMinimumWidth(width);
    field->setPlaceholderText(QString::fromLatin1(placeholder));
    return field;
}

QLabel* MakeNote(QWidget* parent, const QString& text) {
    auto* note = new QLabel(text, parent);
    note->setForegroundRole(QPalette::PlaceholderText);
    return note;
}

std::string JoinZones(const std::vector<std::string>& zones) {
    std::string text;
    for (const std::string& zone : zones)
        text += (text.empty() ? "" : ",") + zone;
    return text;
}

}  // namespace

ChecksPage::ChecksPage(QWidget* parent) : OptionsPage(parent) {
    setObjectName(QStringLiteral("TabSheetChecks"));
    cbAcceptAllProbe =
        new QCheckBox(QStringLiteral("&Detect domains that accept every address"), this);
    cbAcceptAllProbe->setObjectName(QStringLiteral("cbAcceptAllProbe"));
    edRecheckDeferred = MakeSpin(this, "edRecheckDeferred", CheckSettings::kMaxRecheckDeferred);
    edPerServer = MakeSpin(this, "edPerServer", CheckSettings::kMaxStoredValue);
    edPerServerRate = MakeSpin(this, "edPerServerRate", CheckSettings::kMaxPerServerRate);
    edAddressesPerConnection =
        MakeSpin(this, "edAddressesPerConnection", CheckSettings::kMaxAddressesPerConnection, 1);
    edSourceAddress = MakeText(this, "edSourceAddress", kAddressWidth, "the system's choice");
    cbPreferIPv6 = new QCheckBox(QStringLiteral("Prefer IP&v6"), this);
    cbPreferIPv6->setObjectName(QStringLiteral("cbPreferIPv6"));
    edBlockLists = MakeText(this, "edBlockLists", kZonesWidth, "none");
    // The number fields line up: each as wide as the one for the most digits.
    int numberWidth = 0;
    const auto numbers = {edRecheckDeferred, edPerServer, edPerServerRate,
                          edAddressesPerConnection};
    for (QSpinBox* field : numbers)
        numberWidth = std::max(numberWidth, field->sizeHint().width());
    for (QSpinBox* field : numbers)
        field->setFixedWidth(numberWidth);

    form_ = new QFormLayout(this);
    form_->addRow(cbAcceptAllProbe);
    // "Check deferred addresses again after N seconds": the number stands in
    // the sentence, the label before it and the unit after it.
    AddNumberRow(QStringLiteral("Check deferred addresses a&gain after"), edRecheckDeferred,
                 new QLabel(QStringLiteral("seconds"), this));
    form_->addRow(QString(),
                  MakeNote(this, QStringLiteral("0: deferred addresses are not checked again.")));
    AddNumberRow(QStringLiteral("Connections to one &mail server at once"), edPerServer,
                 MakeNote(this, QStringLiteral("0: no limit")));
    AddNumberRow(QStringLiteral("New connections to one server a m&inute"), edPerServerRate,
                 MakeNote(this, QStringLiteral("0: no limit")));
    AddNumberRow(QStringLiteral("Addresses per &connection"), edAddressesPerConnection,
                 MakeNote(this, QStringLiteral("1 to 20; more than 1 needs a limit above")));
    form_->addRow(QStringLiteral("&Source address"), edSourceAddress);
    form_->addRow(QString(), MakeNote(this, QStringLiteral("An IPv4 address, an IPv6 address, or "
                                                           "one of each separated by a blank.")));
    form_->addRow(cbPreferIPv6);
    form_->addRow(QStringLiteral("&Block lists"), edBlockLists);
    form_->addRow(QString(), MakeNote(this, QStringLiteral("DNS zones separated by commas, asked "
                                                           "by Check This Computer.")));
}

void ChecksPage::AddNumberRow(const QString& label, QSpinBox* field, QLabel* after) {
    auto* row = new QHBoxLayout;
    row->addWidget(field);
    row->addWidget(after);
    row->addStretch();
    form_->addRow(label, row);
    // The label belongs to the number field, not to its row's layout.
    if (auto* text = qobject_cast<QLabel*>(form_->labelForField(row))) text->setBuddy(field);
}

void ChecksPage::Load(TINI& ini) {
    // Stored values outside a field's range are shown, and used by a run, as
    // the nearest end.
    loadedProbe_ = ini.ilAcceptAllProbe.AsInteger() != 0;
    loadedRecheck_ =
        std::clamp<int>(ini.ilRecheckDeferred.AsInteger(), 0, CheckSettings::kMaxRecheckDeferred);
    loadedPerServer_ =
        std::clamp<int>(ini.ilPerServer.AsInteger(), 0, CheckSettings::kMaxStoredValue);
    loadedPerServerRate_ =
        std::clamp<int>(ini.ilPerServerRate.AsInteger(), 0, CheckSettings::kMaxPerServerRate);
    loadedPerConnection_ = std::clamp<int>(ini.ilAddressesPerConnection.AsInteger(), 1,
                                           CheckSettings::kMaxAddressesPerConnection);
    loadedSource_ = TrimBlanks(ini.ilSourceAddress.Text());
    loadedPreferIPv6_ = ini.ilPreferIPv6.AsInteger() == 1;
    loadedBlockLists_ = SplitPreflightList(ini.ilBlockLists.Text());
    cbAcceptAllProbe->setChecked(loadedProbe_);
    edRecheckDeferred->setValue(loadedRecheck_);
    edPerServer->setValue(loadedPerServer_);
    edPerServerRate->setValue(loadedPerServerRate_);
    edAddressesPerConnection->setValue(loadedPerConnection_);
    edSourceAddress->setText(FromSetting(loadedSource_));
    cbPreferIPv6->setChecked(loadedPreferIPv6_);
    edBlockLists->setText(FromSetting(TrimBlanks(ini.ilBlockLists.Text())));
}

void ChecksPage::Save(TINI& ini) {
    // A stored value the page shows unchanged stays as it is written (any
    // number other than 0 switches the probe on, as a run reads it).
    if (cbAcceptAllProbe->isChecked() != loadedProbe_)
        ini.ilAcceptAllProbe.SetAsInteger(cbAcceptAllProbe->isChecked() ? 1 : 0);
    if (edRecheckDeferred->value() != loadedRecheck_)
        ini.ilRecheckDeferred.SetAsInteger(edRecheckDeferred->value());
    if (edPerServer->value() != loadedPerServer_)
        ini.ilPerServer.SetAsInteger(edPerServer->value());
    if (edPerServerRate->value() != loadedPerServerRate_)
        ini.ilPerServerRate.SetAsInteger(edPerServerRate->value());
    if (edAddressesPerConnection->value() != loadedPerConnection_)
        ini.ilAddressesPerConnection.SetAsInteger(edAddressesPerConnection->value());
    // Blanks around the address and between the zones mean nothing to a run.
    const std::string source = TrimBlanks(ToSetting(edSourceAddress->text()));
    if (source != loadedSource_) ini.ilSourceAddress.SetText(source);
    if (cbPreferIPv6->isChecked() != loadedPreferIPv6_)
        ini.ilPreferIPv6.SetAsInteger(cbPreferIPv6->isChecked() ? 1 : 0);
    const std::vector<std::string> zones = SplitPreflightList(ToSetting(edBlockLists->text()));
    if (zones != loadedBlockLists_) ini.ilBlockLists.SetText(JoinZones(zones));
}

}  // namespace mv::ui
