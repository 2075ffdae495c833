// The program's identity: the About box's lines from the sources it is given,
// its look and how it closes, the splash window that holds the main window
// disabled until its timer fires, and the program's icon on both windows.
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include "about/about_box.h"
#include "common/app_info.h"
#include "modal_driver.h"
#include "splash/splash_form.h"
#include "ui_test_support.h"

using mv::test::ModalDriver;
using mv::ui::AboutSources;
using mv::ui::TAboutBox;

namespace {

QString LabelText(const QWidget* w, const char* name) {
    const auto* label = w->findChild<QLabel*>(QString::fromLatin1(name));
    return label != nullptr ? label->text() : QStringLiteral("<no %1>").arg(name);
}

QImage ProgramIcon32() {
    return QImage(QStringLiteral(":/icons/32/mailvetter.png"))
        .convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

}  // namespace

class AboutSplashTest : public QObject {
    Q_OBJECT
  private slots:
    void aboutLinesFromTheSources_data();
    void aboutLinesFromTheSources();
    void fileVersionText_data();
    void fileVersionText();
    void aboutBoxAsSpecified();
    void aboutClosesWithEscEnterAndOk_data();
    void aboutClosesWithEscEnterAndOk();
    void splashHoldsTheMainWindowUntilItsTimerFires();
};

void AboutSplashTest::aboutLinesFromTheSources_data() {
    QTest::addColumn<QString>("version");
    QTest::addColumn<qulonglong>("memoryBytes");
    QTest::addColumn<QString>("separator");
    QTest::addColumn<QString>("versionLine");
    QTest::addColumn<QString>("memoryLine");
    QTest::newRow("64 MiB, comma") << "1.0.0.41" << qulonglong(64) * 1024 * 1024 << ","
                                   << "Version 1.0.0.41"
                                   << "Memory Available to Linux: 65,536 Kb";
    QTest::newRow("16 GiB, full stop") << "1.0.0.41" << qulonglong(16) * 1024 * 1024 * 1024 << "."
                                       << "Version 1.0.0.41"
                                       << "Memory Available to Linux: 16.777.216 Kb";
    QTest::newRow("rounded down, no separator in the locale")
        << "" << qulonglong(1024 * 1024 - 1) << ""
        << "Version "
        << "Memory Available to Linux: 1,023 Kb";
    QTest::newRow("under a thousand") << "2.0.0.0" << qulonglong(999 * 1024) << "\u202f"
                                      << "Version 2.0.0.0"
                                      << "Memory Available to Linux: 999 Kb";
}

void AboutSplashTest::aboutLinesFromTheSources() {
    QFETCH(QString, version);
    QFETCH(qulonglong, memoryBytes);
    QFETCH(QString, separator);
    QFETCH(QString, versionLine);
    QFETCH(QString, memoryLine);
    AboutSources sources;
    sources.fileVersion = version.toStdString();
    sources.prettyName = "Debian GNU/Linux 12 (bookworm)";
    sources.release = "6.1.0-18-amd64";
    sources.version = "#1 SMP PREEMPT_DYNAMIC Debian 6.1.76-1 (2024-02-01)";
    sources.physicalMemoryBytes = memoryBytes;
    sources.groupSeparator = separator;
    const TAboutBox box(sources, nullptr);
    QCOMPARE(LabelText(&box, "OS"),
             QStringLiteral("Debian GNU/Linux 12 (bookworm) (Linux 6.1.0-18-amd64, Build #1 SMP "
                            "PREEMPT_DYNAMIC Debian 6.1.76-1 (2024-02-01))"));
    QCOMPARE(LabelText(&box, "PhysMem"), memoryLine);
    QCOMPARE(LabelText(&box, "lbVersion"), versionLine);
}

void AboutSplashTest::fileVersionText_data() {
    QTest::addColumn<QString>("build");
    QTest::addColumn<QString>("text");
    QTest::newRow("this build") << QString::fromLatin1(mv::ui::kVersion) << "1.0.0.41";
    QTest::newRow("two numbers") << "2.5"
                                 << "2.5.0.0";
    QTest::newRow("none") << ""
                          << "";
    QTest::newRow("not numbers") << "1.x"
                                 << "";
    QTest::newRow("five numbers") << "1.0.0.41.7"
                                  << "";
    QTest::newRow("beyond 16 bits") << "65536.0.0.1"
                                    << "";
}

void AboutSplashTest::fileVersionText() {
    QFETCH(QString, build);
    QFETCH(QString, text);
    QCOMPARE(QString::fromStdString(mv::ui::FileVersionText(build.toStdString())), text);
}

void AboutSplashTest::aboutBoxAsSpecified() {
    AboutSources sources;
    sources.prettyName = "A very long name of an operating system, as some have it";
    sources.release = "6.1.0-18-amd64";
    sources.version = "#1 SMP PREEMPT_DYNAMIC Debian 6.1.76-1 (2024-02-01)";
    const TAboutBox box(sources, nullptr);
    QCOMPARE(box.windowTitle(), QStringLiteral("About Mailvetter"));
    QCOMPARE(box.width(), 351);
    QVERIFY(box.height() >= 183);
    QCOMPARE(box.minimumSize(), box.maximumSize());
    const auto* title = box.findChild<QLabel*>(QStringLiteral("lbTitle"));
    QCOMPARE(title->text(), QStringLiteral("Mailvetter"));
    QCOMPARE(title->font().family(), QStringLiteral("Arial"));  // or the closest the system has
    QCOMPARE(title->font().pixelSize(), 21);
    QVERIFY(title->font().bold() && title->font().italic());
    QCOMPARE(title->palette().color(QPalette::WindowText), QColor(255, 0, 0));
    QCOMPARE(LabelText(&box, "lbNotice"), QString::fromLatin1(mv::ui::kNoticeLine));
    QCOMPARE(box.findChild<QFrame*>(QStringLiteral("Bevel1"))->frameShape(), QFrame::HLine);
    for (const char* name : {"lbTitle", "lbVersion", "OS", "PhysMem"})
        QCOMPARE(box.findChild<QLabel*>(QString::fromLatin1(name))->x(), 66);
    // The whole system line is shown, over as many lines as it needs.
    const auto* os = box.findChild<QLabel*>(QStringLiteral("OS"));
    QVERIFY(os->height() >= os->heightForWidth(os->width()));
    const QImage icon = box.findChild<QLabel*>(QStringLiteral("Image1"))
                            ->pixmap()
                            .toImage()
                            .convertToFormat(QImage::Format_ARGB32_Premultiplied);
    QCOMPARE(icon, ProgramIcon32());
}

void AboutSplashTest::aboutClosesWithEscEnterAndOk_data() {
    QTest::addColumn<int>("key");  // 0: the OK button is clicked
    QTest::newRow("Esc") << int(Qt::Key_Escape);
    QTest::newRow("Enter") << int(Qt::Key_Return);
    QTest::newRow("OK") << 0;
}

void AboutSplashTest::aboutClosesWithEscEnterAndOk() {
    QFETCH(int, key);
    mv::test::TempDir dir;
    mv::test::WindowLoop loop;
    mv::test::WindowUnderTest window(dir / "config", loop.loop());
    ModalDriver driver;
    bool closed = false;
    int result = -1;
    driver.Expect([&](QDialog* d) {
        if (key != 0)
            QTest::keyClick(d, Qt::Key(key));
        else
            d->findChild<QPushButton*>(QStringLiteral("OKButton"))->click();
        closed = !d->isVisible();
        result = d->result();
        if (!closed) d->done(-1);  // so that the test ends
    });
    window.action("acAbout")->trigger();
    QCOMPARE(driver.Unexpected(), QStringList());
    QCOMPARE(driver.Seen().size(), size_t{1});
    QCOMPARE(driver.Seen()[0].title, QStringLiteral("About Mailvetter"));
    QVERIFY(closed);
    QCOMPARE(result, int(QDialog::Accepted));  // the same for all three
}

void AboutSplashTest::splashHoldsTheMainWindowUntilItsTimerFires() {
    QCOMPARE(mv::ui::TfrmSplash().findChild<QTimer*>(QStringLiteral("Timer1"))->interval(), 2000);
    mv::test::TempDir dir;
    mv::test::WindowLoop loop;
    mv::test::WindowUnderTest window(dir / "config", loop.loop());
    mv::ui::TfrmSplash splash(200);
    const QTimer* timer = splash.findChild<QTimer*>(QStringLiteral("Timer1"));
    QVERIFY(timer->isActive());  // running from creation
    QVERIFY(splash.windowFlags().testFlag(Qt::FramelessWindowHint));
    QVERIFY(splash.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    QCOMPARE(splash.size(), QSize(440, 250));
    const auto* notice = splash.findChild<QLabel*>(QStringLiteral("lbNotice"));
    QCOMPARE(notice->text(), QString::fromLatin1(mv::ui::kNoticeLine));
    QCOMPARE(notice->geometry().topLeft(), QPoint(12, 225));
    QCOMPARE(notice->width(), 417);
    QCOMPARE(notice->palette().color(QPalette::WindowText), QColor(Qt::white));

    splash.ShowAndPaint();
    splash.HoldMainWindow(&window.form());
    window.form().show();
    QVERIFY(!window.form().isEnabled());
    while (timer->isActive()) {
        QVERIFY(!window.form().isEnabled());
        QTest::qWait(20);
    }
    QTRY_VERIFY(window.form().isEnabled());
    QVERIFY(splash.isHidden());  // closed, not freed
    QCOMPARE(window.form().windowIcon().pixmap(32).toImage().convertToFormat(
                 QImage::Format_ARGB32_Premultiplied),
             ProgramIcon32());
}

MV_UI_TEST_MAIN(AboutSplashTest)
#include "about_splash_test.moc"
