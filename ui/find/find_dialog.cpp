#include "find/find_dialog.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace mv::ui {

TFindDialog::TFindDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("FindDialog"));
    setWindowTitle(QStringLiteral("Find"));
    setModal(false);

    auto* label = new QLabel(QStringLiteral("Fi&nd what:"), this);
    edFind_ = new QLineEdit(this);
    edFind_->setObjectName(QStringLiteral("edFind"));
    edFind_->setMinimumWidth(180);
    label->setBuddy(edFind_);
    cbMatchCase_ = new QCheckBox(QStringLiteral("Match &case"), this);
    cbMatchCase_->setObjectName(QStringLiteral("cbMatchCase"));

    auto* direction = new QGroupBox(QStringLiteral("Direction"), this);
    rbUp_ = new QRadioButton(QStringLiteral("&Up"), direction);
    rbUp_->setObjectName(QStringLiteral("rbUp"));
    rbDown_ = new QRadioButton(QStringLiteral("&Down"), direction);
    rbDown_->setObjectName(QStringLiteral("rbDown"));
    rbDown_->setChecked(true);
    auto* directions = new QHBoxLayout(direction);
    directions->addWidget(rbUp_);
    directions->addWidget(rbDown_);

    btFindNext_ = new QPushButton(QStringLiteral("&Find Next"), this);
    btFindNext_->setObjectName(QStringLiteral("btFindNext"));
    btFindNext_->setDefault(true);
    btFindNext_->setEnabled(false);  // nothing to find yet
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("btCancel"));

    auto* grid = new QGridLayout(this);
    grid->addWidget(label, 0, 0);
    grid->addWidget(edFind_, 0, 1, 1, 2);
    grid->addWidget(cbMatchCase_, 1, 0, 1, 2, Qt::AlignBottom);
    grid->addWidget(direction, 1, 2);
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(btFindNext_);
    buttons->addWidget(cancel);
    buttons->addStretch(1);
    grid->addLayout(buttons, 0, 3, 2, 1);
    grid->setSizeConstraint(QLayout::SetFixedSize);

    connect(edFind_, &QLineEdit::textChanged, this,
            [this](const QString& text) { btFindNext_->setEnabled(!text.isEmpty()); });
    connect(btFindNext_, &QPushButton::clicked, this, &TFindDialog::Find);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

QString TFindDialog::FindText() const {
    return edFind_->text();
}

void TFindDialog::SetFindText(const QString& text) {
    edFind_->setText(text);
}

bool TFindDialog::MatchCase() const {
    return cbMatchCase_->isChecked();
}

void TFindDialog::SetMatchCase(bool on) {
    cbMatchCase_->setChecked(on);
}

bool TFindDialog::Down() const {
    return rbDown_->isChecked();
}

void TFindDialog::SetDown(bool down) {
    (down ? rbDown_ : rbUp_)->setChecked(true);
}

void TFindDialog::Execute() {
    show();
    raise();
    activateWindow();
    edFind_->setFocus();
    edFind_->selectAll();
}

}  // namespace mv::ui
