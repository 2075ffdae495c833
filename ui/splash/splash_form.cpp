#include "splash/splash_form.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QPixmap>
#include <QScreen>

#include "common/app_info.h"
#include "common/icons.h"

namespace mv::ui {

namespace {

// The notice line lies over the picture's dark lower band.
constexpr QRect kNoticeGeometry(12, 225, 417, 18);

}  // namespace

TfrmSplash::TfrmSplash(int intervalMs)
    : QWidget(nullptr, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
    setObjectName(QStringLiteral("frmSplash"));
    setWindowTitle(QString::fromLatin1(kAppTitle));
    Image = new QLabel(this);
    Image->setObjectName(QStringLiteral("Image"));
    lbNotice = new QLabel(this);
    lbNotice->setObjectName(QStringLiteral("lbNotice"));
    lbNotice->setAttribute(Qt::WA_TranslucentBackground);
    QPalette white = lbNotice->palette();
    white.setColor(QPalette::WindowText, Qt::white);
    lbNotice->setPalette(white);
    lbNotice->setGeometry(kNoticeGeometry);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setSingleShot(true);
    Timer1->setInterval(intervalMs);
    connect(Timer1, &QTimer::timeout, this, &TfrmSplash::Timer1Timer);
    FormCreate();
    Timer1->start();
}

void TfrmSplash::FormCreate() {
    const QPixmap picture = SplashPicture();
    Image->setPixmap(picture);
    Image->resize(picture.deviceIndependentSize().toSize());
    setFixedSize(Image->size());
    lbNotice->setText(QString::fromLatin1(kNoticeLine));
    if (const QScreen* s = screen()) move(s->availableGeometry().center() - rect().center());
}

void TfrmSplash::ShowAndPaint() {
    show();
    raise();
    repaint();
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void TfrmSplash::HoldMainWindow(QWidget* mainWindow) {
    mainWindow_ = mainWindow;
    if (!closed_) mainWindow->setEnabled(false);
}

void TfrmSplash::Timer1Timer() {
    close();  // hidden, not freed
}

void TfrmSplash::closeEvent(QCloseEvent* event) {
    closed_ = true;
    if (mainWindow_) {
        mainWindow_->setEnabled(true);
        mainWindow_->activateWindow();
    }
    event->accept();
}

}  // namespace mv::ui
