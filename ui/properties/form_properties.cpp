#include "properties/form_properties.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include "common/error_display.h"
#include "platform/text/text_trim.h"
#include "project/list/storable_caption.h"
#include "properties/vertical_grid.h"

namespace mv::ui {

TFormProperties::TFormProperties(const QString& caption, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("FormProperties"));
    setWindowTitle(caption);
    // A system menu and a maximise box, but no minimise box.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMaximizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setSizeGripEnabled(true);

    VerticalGrid = new TVerticalGrid(this);
    Button1 = new QPushButton(QStringLiteral("OK"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setDefault(true);
    Button2 = new QPushButton(QStringLiteral("Cancel"), this);
    Button2->setObjectName(QStringLiteral("Button2"));
    connect(Button1, &QPushButton::clicked, this, &TFormProperties::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &QDialog::reject);

    auto* buttons = new QHBoxLayout;  // kept at the right edge
    buttons->addStretch(1);
    buttons->addWidget(Button1);
    buttons->addWidget(Button2);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(VerticalGrid, 1);
    buttons->setContentsMargins(6, 6, 6, 6);
    layout->addLayout(buttons);

    setMinimumSize(kMinimumSize);
    resize(kInitialSize);
    if (const QScreen* s = screen()) move(s->availableGeometry().center() - rect().center());
}

void TFormProperties::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    VerticalGrid->setFocus(Qt::OtherFocusReason);
    VerticalGrid->setCurrentCell(0, 0);
}

void TFormProperties::Button1Click() {
    const std::string address = VerticalGrid->Text(0).toStdString();
    if (TrimBlanksAndControls(address).empty()) {
        ShowErrorBox(this, "E-mail address cannot be blank");
        return;  // the dialog stays open with its values
    }
    if (!StorableCaption(TrimBlanksAndControls(address))) {
        ShowErrorBox(this, std::string(kUnstorableCaption));
        return;
    }
    accept();
}

}  // namespace mv::ui
