#include "options/checks_page.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QSpinBox>
#include <algorithm>

#include "project/run/check_run.h"
#include "settings/tini.h"

namespace mv::ui {

ChecksPage::ChecksPage(QWidget* parent) : OptionsPage(parent) {
    setObjectName(QStringLiteral("TabSheetChecks"));
    cbAcceptAllProbe =
        new QCheckBox(QStringLiteral("&Detect domains that accept every address"), this);
    cbAcceptAllProbe->setObjectName(QStringLiteral("cbAcceptAllProbe"));
    edRecheckDeferred = new QSpinBox(this);
    edRecheckDeferred->setObjectName(QStringLiteral("edRecheckDeferred"));
    edRecheckDeferred->setRange(0, CheckSettings::kMaxRecheckDeferred);
    edRecheckDeferred->setAccelerated(true);

    // "Check deferred addresses again after N seconds": the number stands in
    // the sentence, the label before it and the unit after it.
    auto* recheck = new QHBoxLayout;
    recheck->addWidget(edRecheckDeferred);
    recheck->addWidget(new QLabel(QStringLiteral("seconds"), this));
    recheck->addStretch();
    auto* note = new QLabel(QStringLiteral("0: deferred addresses are not checked again."), this);
    note->setForegroundRole(QPalette::PlaceholderText);

    form_ = new QFormLayout(this);
    form_->addRow(cbAcceptAllProbe);
    form_->addRow(QStringLiteral("Check &deferred addresses again after"), recheck);
    form_->addRow(QString(), note);
    // The label belongs to the number field, not to its row's layout.
    if (auto* label = qobject_cast<QLabel*>(form_->labelForField(recheck)))
        label->setBuddy(edRecheckDeferred);
}

void ChecksPage::Load(TINI& ini) {
    loadedProbe_ = ini.ilAcceptAllProbe.AsInteger() != 0;
    loadedRecheck_ =
        std::clamp<int>(ini.ilRecheckDeferred.AsInteger(), 0, CheckSettings::kMaxRecheckDeferred);
    cbAcceptAllProbe->setChecked(loadedProbe_);
    edRecheckDeferred->setValue(loadedRecheck_);
}

void ChecksPage::Save(TINI& ini) {
    // A stored value the page shows unchanged stays as it is written (any
    // number other than 0 switches the probe on, as a run reads it).
    if (cbAcceptAllProbe->isChecked() != loadedProbe_)
        ini.ilAcceptAllProbe.SetAsInteger(cbAcceptAllProbe->isChecked() ? 1 : 0);
    if (edRecheckDeferred->value() != loadedRecheck_)
        ini.ilRecheckDeferred.SetAsInteger(edRecheckDeferred->value());
}

}  // namespace mv::ui
