#include "export/export_dialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace mv::ui {

namespace {

// How far the check boxes stand in under "&Tolerance:".
constexpr int kIndent = 24;

template <class Button>
Button* MakeButton(QWidget* parent, const char* caption, const char* name) {
    auto* button = new Button(QString::fromUtf8(caption), parent);
    button->setObjectName(QString::fromLatin1(name));
    return button;
}

}  // namespace

TExportDialog::TExportDialog(const ExportTolerance& tolerance, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("ExportDialog"));
    CreateControls();
    (tolerance.zero ? rbToleranceZero : rbTolerance)->setChecked(true);
    cbMailboxUnavailable->setChecked(tolerance.mailboxUnavailable);
    cbExceededStorage->setChecked(tolerance.exceededStorage);
    cbTimeOut->setChecked(tolerance.timeOut);
    UpdateCheckBoxes();
}

void TExportDialog::CreateControls() {
    setWindowTitle(QStringLiteral("Export Recipient List"));
    auto* layout = new QVBoxLayout(this);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    rbToleranceZero =
        MakeButton<QRadioButton>(this, "Tolerance &Zero (only addresses valid)", "rbToleranceZero");
    rbTolerance = MakeButton<QRadioButton>(this, "&Tolerance:", "rbTolerance");
    cbMailboxUnavailable =
        MakeButton<QCheckBox>(this, "&Mailbox unavailable", "cbMailboxUnavailable");
    cbExceededStorage =
        MakeButton<QCheckBox>(this, "&Exceeded storage allocation", "cbExceededStorage");
    cbTimeOut = MakeButton<QCheckBox>(this, "Time &Out", "cbTimeOut");
    layout->addWidget(rbToleranceZero);
    layout->addWidget(rbTolerance);
    auto* failures = new QVBoxLayout;
    failures->setContentsMargins(kIndent, 0, 0, 0);
    for (QCheckBox* box : {cbMailboxUnavailable, cbExceededStorage, cbTimeOut})
        failures->addWidget(box);
    layout->addLayout(failures);
    connect(rbTolerance, &QRadioButton::toggled, this, &TExportDialog::UpdateCheckBoxes);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("OK"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Cancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addSpacing(6);
    layout->addWidget(buttons);
}

void TExportDialog::UpdateCheckBoxes() {
    for (QCheckBox* box : {cbMailboxUnavailable, cbExceededStorage, cbTimeOut})
        box->setEnabled(rbTolerance->isChecked());
}

ExportTolerance TExportDialog::Tolerance() const {
    ExportTolerance tolerance;
    tolerance.zero = rbToleranceZero->isChecked();
    // The failures stay as they were chosen, also under "Tolerance Zero", so
    // that they are offered again next time.
    tolerance.mailboxUnavailable = cbMailboxUnavailable->isChecked();
    tolerance.exceededStorage = cbExceededStorage->isChecked();
    tolerance.timeOut = cbTimeOut->isChecked();
    return tolerance;
}

}  // namespace mv::ui
