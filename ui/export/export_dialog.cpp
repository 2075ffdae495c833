#include "export/export_dialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "project/summary/list_summary.h"

namespace mv::ui {

namespace {

// How far the check boxes stand in under their choice.
constexpr int kIndent = 24;
// The space between the tolerances and the verdicts.
constexpr int kColumnGap = 24;

template <class Button>
Button* MakeButton(QWidget* parent, const char* caption, const char* name) {
    auto* button = new Button(QString::fromUtf8(caption), parent);
    button->setObjectName(QString::fromLatin1(name));
    return button;
}

// The verdicts' check boxes, in the order of kVerdictsShown.
struct VerdictBox {
    const char* caption;
    const char* name;
};
constexpr std::array<VerdictBox, 4> kVerdictBoxes = {{
    {"&Deliverable", "cbDeliverable"},
    {"&Risky", "cbRisky"},
    {"&Undeliverable", "cbUndeliverable"},
    {"Un&known", "cbUnknown"},
}};

// The flags' check boxes, in the order of kAddressFlags.
constexpr std::array<VerdictBox, 3> kLeaveOutBoxes = {{
    {"ro&le addresses", "cbLeaveOutRole"},
    {"d&isposable", "cbLeaveOutDisposable"},
    {"&free mail", "cbLeaveOutFree"},
}};

QVBoxLayout* Indented() {
    auto* layout = new QVBoxLayout;
    layout->setContentsMargins(kIndent, 0, 0, 0);
    return layout;
}

}  // namespace

TExportDialog::TExportDialog(const ExportTolerance& tolerance, const ExportVerdictChoice& verdicts,
                             AddressFlags leaveOut, QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("ExportDialog"));
    CreateControls();
    zeroChosen_ = tolerance.zero;
    if (verdicts.byVerdict)
        rbByVerdict->setChecked(true);
    else
        (tolerance.zero ? rbToleranceZero : rbTolerance)->setChecked(true);
    cbMailboxUnavailable->setChecked(tolerance.mailboxUnavailable);
    cbExceededStorage->setChecked(tolerance.exceededStorage);
    cbTimeOut->setChecked(tolerance.timeOut);
    for (size_t i = 0; i < cbVerdicts.size(); ++i)
        cbVerdicts[i]->setChecked(verdicts.verdicts.Has(kVerdictsShown[i]));
    for (size_t i = 0; i < cbLeaveOut.size(); ++i)
        cbLeaveOut[i]->setChecked(leaveOut.Has(kAddressFlags[i]));
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
    auto* tolerances = new QVBoxLayout;
    tolerances->addWidget(rbToleranceZero);
    tolerances->addWidget(rbTolerance);
    QVBoxLayout* failures = Indented();
    for (QCheckBox* box : {cbMailboxUnavailable, cbExceededStorage, cbTimeOut})
        failures->addWidget(box);
    tolerances->addLayout(failures);
    tolerances->addStretch();

    auto* columns = new QHBoxLayout;
    columns->addLayout(tolerances);
    columns->addSpacing(kColumnGap);
    columns->addLayout(CreateVerdictControls());
    layout->addLayout(columns);
    layout->addSpacing(6);
    layout->addLayout(CreateLeaveOutControls());
    for (QRadioButton* choice : {rbToleranceZero, rbTolerance, rbByVerdict})
        connect(choice, &QRadioButton::toggled, this, &TExportDialog::UpdateCheckBoxes);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    okButton_ = buttons->button(QDialogButtonBox::Ok);
    okButton_->setText(QStringLiteral("OK"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Cancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addSpacing(6);
    layout->addWidget(buttons);
}

QLayout* TExportDialog::CreateVerdictControls() {
    rbByVerdict = MakeButton<QRadioButton>(this, "By &verdict:", "rbByVerdict");
    auto* column = new QVBoxLayout;
    column->addWidget(rbByVerdict);
    QVBoxLayout* boxes = Indented();
    for (size_t i = 0; i < cbVerdicts.size(); ++i) {
        cbVerdicts[i] =
            MakeButton<QCheckBox>(this, kVerdictBoxes[i].caption, kVerdictBoxes[i].name);
        boxes->addWidget(cbVerdicts[i]);
        connect(cbVerdicts[i], &QCheckBox::toggled, this, &TExportDialog::UpdateCheckBoxes);
    }
    column->addLayout(boxes);
    column->addStretch();
    return column;
}

QLayout* TExportDialog::CreateLeaveOutControls() {
    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel(QStringLiteral("Leave out:"), this));
    for (size_t i = 0; i < cbLeaveOut.size(); ++i) {
        cbLeaveOut[i] =
            MakeButton<QCheckBox>(this, kLeaveOutBoxes[i].caption, kLeaveOutBoxes[i].name);
        row->addWidget(cbLeaveOut[i]);
    }
    row->addStretch();
    return row;
}

void TExportDialog::UpdateCheckBoxes() {
    if (rbToleranceZero->isChecked()) zeroChosen_ = true;
    if (rbTolerance->isChecked()) zeroChosen_ = false;
    for (QCheckBox* box : {cbMailboxUnavailable, cbExceededStorage, cbTimeOut})
        box->setEnabled(rbTolerance->isChecked());
    bool anyVerdict = false;
    for (QCheckBox* box : cbVerdicts) {
        box->setEnabled(rbByVerdict->isChecked());
        anyVerdict = anyVerdict || box->isChecked();
    }
    // An export by verdict without a verdict would write nothing.
    okButton_->setEnabled(!rbByVerdict->isChecked() || anyVerdict);
}

ExportTolerance TExportDialog::Tolerance() const {
    ExportTolerance tolerance;
    // Under "By verdict" the tolerance last chosen is kept for next time.
    tolerance.zero = zeroChosen_;
    // The failures stay as they were chosen, also under "Tolerance Zero", so
    // that they are offered again next time.
    tolerance.mailboxUnavailable = cbMailboxUnavailable->isChecked();
    tolerance.exceededStorage = cbExceededStorage->isChecked();
    tolerance.timeOut = cbTimeOut->isChecked();
    return tolerance;
}

ExportVerdictChoice TExportDialog::Verdicts() const {
    ExportVerdictChoice choice;
    choice.byVerdict = rbByVerdict->isChecked();
    for (size_t i = 0; i < cbVerdicts.size(); ++i)
        if (cbVerdicts[i]->isChecked()) choice.verdicts.Add(kVerdictsShown[i]);
    return choice;
}

AddressFlags TExportDialog::LeaveOut() const {
    AddressFlags flags;
    for (size_t i = 0; i < cbLeaveOut.size(); ++i)
        if (cbLeaveOut[i]->isChecked()) flags.Add(kAddressFlags[i]);
    return flags;
}

}  // namespace mv::ui
