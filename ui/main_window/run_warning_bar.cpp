#include "main_window/run_warning_bar.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>

namespace mv::ui {

RunWarningBar::RunWarningBar(QWidget* parent) : QFrame(parent) {
    setObjectName(QStringLiteral("RunWarningBar"));
    setFrameShape(QFrame::StyledPanel);
    setAutoFillBackground(true);
    QPalette colours = palette();
    colours.setColor(QPalette::Window, QColor(255, 243, 205));  // a pale amber
    colours.setColor(QPalette::WindowText, Qt::black);
    setPalette(colours);

    auto* icon = new QLabel(this);
    const int size = style()->pixelMetric(QStyle::PM_SmallIconSize);
    icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(size, size));
    lbRunWarning = new QLabel(this);
    lbRunWarning->setObjectName(QStringLiteral("lbRunWarning"));
    lbRunWarning->setWordWrap(true);
    lbRunWarning->setTextInteractionFlags(Qt::TextSelectableByMouse);
    btStop = new QPushButton(QStringLiteral("Stop"), this);
    btStop->setObjectName(QStringLiteral("btStop"));
    btGoOn = new QPushButton(QStringLiteral("Go on"), this);
    btGoOn->setObjectName(QStringLiteral("btGoOn"));

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(6, 4, 6, 4);
    row->addWidget(icon, 0, Qt::AlignTop);
    row->addWidget(lbRunWarning, 1);
    row->addWidget(btStop, 0, Qt::AlignTop);
    row->addWidget(btGoOn, 0, Qt::AlignTop);

    connect(btStop, &QPushButton::clicked, this, &RunWarningBar::stopClicked);
    connect(btGoOn, &QPushButton::clicked, this, &RunWarningBar::goOnClicked);
    hide();
}

void RunWarningBar::ShowWarning(const QString& message) {
    lbRunWarning->setText(QStringLiteral("Warning: ") + message);
    show();
}

QString RunWarningBar::Text() const {
    return lbRunWarning->text();
}

}  // namespace mv::ui
