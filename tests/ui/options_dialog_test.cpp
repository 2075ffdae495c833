// The options dialog as a user meets it through "&Options...": what it shows
// from the settings, what OK stores (and only what changed), that Cancel
// stores nothing, the arrows' limits, the host-name rule, the proxy page and
// the checks page.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>

#include "modal_driver.h"
#include "platform/settings_file/settings_file.h"
#include "ui_test_support.h"
#include "window_suite.h"

using mv::test::ModalDriver;

namespace {

template <class T>
T* Child(QDialog* dialog, const char* name) {
    T* child = dialog->findChild<T*>(QString::fromLatin1(name));
    if (child == nullptr) qFatal("the options dialog has no %s", name);
    return child;
}

// What the dialog shows, read while it is open and compared once it is closed.
struct Shown {
    QString caption;
    QStringList pages;
    int page = -1;
    bool fixedSize = false;
    int connections = 0;
    int timeOut = 0;
    QString from;
    bool hostFromDomain = false;
    QString host;
    bool hostEnabled = false;
    QColor hostBackground;
    QString dns1;
    QString dns2;
    bool proxyOn = false;
    QString proxyServer;
    int proxyPort = 0;
    QString proxyLevel;
    QString proxyUser;
    QString proxyPassword;
    bool passwordEnabled = false;
};

Shown Read(QDialog* d) {
    Shown s;
    s.caption = d->windowTitle();
    auto* pages = Child<QTabWidget>(d, "PageControl1");
    for (int i = 0; i < pages->count(); ++i)
        s.pages << pages->tabText(i);
    s.page = pages->currentIndex();
    s.fixedSize = d->minimumSize() == d->maximumSize();
    s.connections = Child<QSpinBox>(d, "edConnections")->value();
    s.timeOut = Child<QSpinBox>(d, "edTimeOut")->value();
    s.from = Child<QLineEdit>(d, "edFrom")->text();
    s.hostFromDomain = Child<QRadioButton>(d, "rbHostFromDomain")->isChecked();
    const auto* host = Child<QLineEdit>(d, "edHost");
    s.host = host->text();
    s.hostEnabled = host->isEnabled();
    s.hostBackground = host->palette().color(QPalette::Base);
    s.dns1 = Child<QLineEdit>(d, "edDNS1")->text();
    s.dns2 = Child<QLineEdit>(d, "edDNS2")->text();
    s.proxyOn = Child<QCheckBox>(d, "cbProxyEnabled")->isChecked();
    s.proxyServer = Child<QLineEdit>(d, "edProxyServer")->text();
    s.proxyPort = Child<QSpinBox>(d, "edProxyPort")->value();
    s.proxyLevel = Child<QComboBox>(d, "cbProxyLevel")->currentText();
    s.proxyUser = Child<QLineEdit>(d, "edProxyUser")->text();
    const auto* password = Child<QLineEdit>(d, "edProxyPassword");
    s.proxyPassword = password->text();
    s.passwordEnabled = password->isEnabled();
    return s;
}

void PressOk(QDialog* d) {
    Child<QPushButton>(d, "Button1")->click();
}

void PressCancel(QDialog* d) {
    Child<QPushButton>(d, "Button2")->click();
}

QColor Standard(QPalette::ColorRole role) {
    return QApplication::palette().color(QPalette::Active, role);
}

}  // namespace

class OptionsDialogTest : public mv::test::WindowSuite {
    Q_OBJECT
  private:
    mv::TINI& ini() { return window_->ini(); }
    // Opens the dialog with "&Options...", lets `act` read and close it.
    void open(const ModalDriver::Action& act);
    Shown openAndRead(const std::function<void(QDialog*)>& beforeClosing = nullptr);
    std::string settingsFile() const;
    void storeExample();

  private slots:
    void init();
    void cleanup();

    void showsTheStoredSettings_data();
    void showsTheStoredSettings();
    void okMovesTheSecondaryUp_data();
    void okMovesTheSecondaryUp();
    void cancelStoresNothing();
    void okWritesOnlyWhatChanged();
    void arrowsStopAtTheLimits_data();
    void arrowsStopAtTheLimits();
    void hostNameRule();
    void proxyPageIsStoredAndReadBack();
    void checksPageIsStoredAndReadBack_data();
    void checksPageIsStoredAndReadBack();
};

void OptionsDialogTest::init() {
    StartCase();
    OpenWindow();
}

void OptionsDialogTest::cleanup() {
    QCOMPARE(driver_->Unexpected(), QStringList());
    EndCase();
}

void OptionsDialogTest::open(const ModalDriver::Action& act) {
    driver_->Expect(act);
    window_->action("acOptions")->trigger();
    QCOMPARE(driver_->Pending(), size_t{0});
}

Shown OptionsDialogTest::openAndRead(const std::function<void(QDialog*)>& beforeClosing) {
    Shown shown;
    open([&](QDialog* d) {
        shown = Read(d);
        if (beforeClosing)
            beforeClosing(d);
        else
            PressCancel(d);
    });
    return shown;
}

std::string OptionsDialogTest::settingsFile() const {
    return mv::test::ReadFile(mv::SettingsFile::PathForKey(mv::TINI::kKeyPath, *dir_ / "config"));
}

void OptionsDialogTest::storeExample() {
    ini().ilConnections.SetText("12");
    ini().ilTimeOut.SetText("5000");  // outside the arrows' range: shown at the limit
    ini().ilFrom.SetText("Me <me@sender.test>");
    ini().ilHostFromDomain.SetText("0");
    ini().ilHost.SetText("helo.test");
    ini().ilDNS1.SetText("10.0.0.1");
    ini().ilDNS2.SetText("10.0.0.2");
    ini().ilProxyEnabled.SetText("1");
    ini().ilProxyServer.SetText("proxy.test");
    ini().ilProxyPort.SetText("1081");
    ini().ilProxyLevel.SetText("4a");
    ini().ilProxyUser.SetText("ann");
    ini().ilProxyPassword.SetText("pw");
}

void OptionsDialogTest::showsTheStoredSettings_data() {
    QTest::addColumn<bool>("stored");
    QTest::newRow("first start: the defaults") << false;
    QTest::newRow("stored settings") << true;
}

void OptionsDialogTest::showsTheStoredSettings() {
    QFETCH(bool, stored);
    if (stored) storeExample();
    const Shown s = openAndRead();
    QCOMPARE(s.caption, QStringLiteral("Options"));
    QCOMPARE(s.pages, QStringList({"Connection", "DNS", "Proxy", "Checks"}));
    QCOMPARE(s.page, 0);
    QVERIFY(s.fixedSize);
    QCOMPARE(s.connections, stored ? 12 : 200);
    QCOMPARE(s.timeOut, stored ? 999 : 30);
    QCOMPARE(s.from, stored ? QStringLiteral("Me <me@sender.test>") : QString());
    QCOMPARE(s.hostFromDomain, !stored);
    QCOMPARE(s.host, stored ? QStringLiteral("helo.test") : QString());
    QCOMPARE(s.dns1, stored ? QStringLiteral("10.0.0.1") : QString());
    QCOMPARE(s.dns2, stored ? QStringLiteral("10.0.0.2") : QString());
    QCOMPARE(s.proxyOn, stored);
    QCOMPARE(s.proxyServer, stored ? QStringLiteral("proxy.test") : QString());
    QCOMPARE(s.proxyPort, stored ? 1081 : 1080);
    QCOMPARE(s.proxyLevel, stored ? QStringLiteral("4A") : QStringLiteral("5"));
    QCOMPARE(s.proxyUser, stored ? QStringLiteral("ann") : QString());
    QCOMPARE(s.proxyPassword, stored ? QStringLiteral("pw") : QString());
    QVERIFY(!s.passwordEnabled);  // level 4A sends none; a proxy that is off neither
}

void OptionsDialogTest::okMovesTheSecondaryUp_data() {
    QTest::addColumn<QString>("primary");
    QTest::addColumn<QString>("secondary");
    QTest::addColumn<QString>("storedPrimary");
    QTest::addColumn<QString>("storedSecondary");
    QTest::newRow("only the secondary") << ""
                                        << "10.0.0.2"
                                        << "10.0.0.2"
                                        << "";
    QTest::newRow("both") << "10.0.0.1"
                          << "10.0.0.2"
                          << "10.0.0.1"
                          << "10.0.0.2";
    QTest::newRow("neither") << ""
                             << ""
                             << ""
                             << "";
    QTest::newRow("a blank is text, kept as typed") << " "
                                                    << "x"
                                                    << " "
                                                    << "x";
}

void OptionsDialogTest::okMovesTheSecondaryUp() {
    QFETCH(QString, primary);
    QFETCH(QString, secondary);
    QFETCH(QString, storedPrimary);
    QFETCH(QString, storedSecondary);
    ini().ilDNS2.SetText("old secondary");
    openAndRead([&](QDialog* d) {
        Child<QLineEdit>(d, "edDNS1")->setText(primary);
        Child<QLineEdit>(d, "edDNS2")->setText(secondary);
        PressOk(d);
    });
    QCOMPARE(QString::fromStdString(ini().ilDNS1.Text()), storedPrimary);
    QCOMPARE(QString::fromStdString(ini().ilDNS2.Text()), storedSecondary);
    mv::TINI reread(*dir_ / "config");  // on disk as well
    QCOMPARE(QString::fromStdString(reread.ilDNS1.Text()), storedPrimary);
    QCOMPARE(QString::fromStdString(reread.ilDNS2.Text()), storedSecondary);
    const Shown again = openAndRead();
    QCOMPARE(again.dns1, storedPrimary);
    QCOMPARE(again.dns2, storedSecondary);
}

void OptionsDialogTest::cancelStoresNothing() {
    storeExample();
    const std::string before = settingsFile();
    openAndRead([](QDialog* d) {
        Child<QSpinBox>(d, "edConnections")->setValue(7);
        Child<QSpinBox>(d, "edTimeOut")->setValue(8);
        Child<QLineEdit>(d, "edFrom")->setText("other@sender.test");
        Child<QRadioButton>(d, "rbHostFromDomain")->click();
        Child<QLineEdit>(d, "edDNS1")->clear();
        Child<QCheckBox>(d, "cbProxyEnabled")->click();
        Child<QLineEdit>(d, "edProxyServer")->setText("elsewhere.test");
        PressCancel(d);
    });
    QCOMPARE(settingsFile(), before);
    const Shown again = openAndRead();
    QCOMPARE(again.connections, 12);
    QCOMPARE(again.from, QStringLiteral("Me <me@sender.test>"));
    QVERIFY(!again.hostFromDomain);
    QCOMPARE(again.dns1, QStringLiteral("10.0.0.1"));
    QVERIFY(again.proxyOn);
    QCOMPARE(again.proxyServer, QStringLiteral("proxy.test"));
}

void OptionsDialogTest::okWritesOnlyWhatChanged() {
    openAndRead(PressOk);  // a first start: every value is its default
    QVERIFY(settingsFile().find('=') == std::string::npos);
    openAndRead([](QDialog* d) {
        Child<QSpinBox>(d, "edTimeOut")->setValue(45);
        PressOk(d);
    });
    const std::string file = settingsFile();
    QVERIFY(file.find("TimeOut=45") != std::string::npos);
    QCOMPARE(std::count(file.begin(), file.end(), '='), 1);
}

void OptionsDialogTest::arrowsStopAtTheLimits_data() {
    QTest::addColumn<QString>("field");
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("expected");
    for (const char* field : {"edConnections", "edTimeOut"}) {
        QTest::addRow("%s down to 1", field) << field << 3 << int(Qt::Key_Down) << 1;
        QTest::addRow("%s up to 999", field) << field << 997 << int(Qt::Key_Up) << 999;
    }
}

void OptionsDialogTest::arrowsStopAtTheLimits() {
    QFETCH(QString, field);
    QFETCH(int, start);
    QFETCH(int, key);
    QFETCH(int, expected);
    int shown = 0;
    openAndRead([&](QDialog* d) {
        auto* spin = Child<QSpinBox>(d, field.toLatin1().constData());
        spin->setValue(start);
        for (int i = 0; i < 5; ++i)
            QTest::keyClick(spin, Qt::Key(key));
        shown = spin->value();
        PressOk(d);
    });
    QCOMPARE(shown, expected);
    mv::TINILinha& stored = field == "edTimeOut" ? ini().ilTimeOut : ini().ilConnections;
    QCOMPARE(stored.AsInteger(), expected);
}

void OptionsDialogTest::hostNameRule() {
    ini().ilHostFromDomain.SetText("0");
    ini().ilHost.SetText("helo.test");
    Shown greyed;
    const Shown loaded = openAndRead([&](QDialog* d) {
        Child<QRadioButton>(d, "rbHostFromDomain")->click();
        greyed = Read(d);
        PressOk(d);
    });
    QVERIFY(!loaded.hostFromDomain);
    QVERIFY(loaded.hostEnabled);
    QCOMPARE(loaded.hostBackground, Standard(QPalette::Base));
    QVERIFY(greyed.hostFromDomain);
    QVERIFY(!greyed.hostEnabled);
    QCOMPARE(greyed.hostBackground, Standard(QPalette::Button));
    QCOMPARE(greyed.host, QStringLiteral("helo.test"));
    QCOMPARE(ini().ilHostFromDomain.Text(), std::string("1"));
    QCOMPARE(ini().ilHost.Text(), std::string("helo.test"));
}

void OptionsDialogTest::proxyPageIsStoredAndReadBack() {
    openAndRead([](QDialog* d) {
        Child<QCheckBox>(d, "cbProxyEnabled")->click();
        Child<QLineEdit>(d, "edProxyServer")->setText("127.0.0.1 ");
        Child<QSpinBox>(d, "edProxyPort")->setValue(1081);
        Child<QLineEdit>(d, "edProxyUser")->setText("ann");
        Child<QLineEdit>(d, "edProxyPassword")->setText("p w");
        Child<QComboBox>(d, "cbProxyLevel")->setCurrentText("4A");
        PressOk(d);
    });
    const auto keys = [](mv::TINI& i) {
        return std::vector<mv::TINILinha*>{&i.ilProxyEnabled, &i.ilProxyServer, &i.ilProxyPort,
                                           &i.ilProxyLevel,   &i.ilProxyUser,   &i.ilProxyPassword};
    };
    const std::vector<std::string> stored = {"1", "127.0.0.1 ", "1081", "4A", "ann", "p w"};
    mv::TINI reread(*dir_ / "config");  // as the file holds them
    for (size_t i = 0; i < stored.size(); ++i) {
        QCOMPARE(keys(ini())[i]->Text(), stored[i]);
        QCOMPARE(keys(reread)[i]->Text(), stored[i]);
    }
    QVERIFY(settingsFile().find("[Proxy]") != std::string::npos);
    const Shown again = openAndRead();
    QVERIFY(again.proxyOn);
    QCOMPARE(again.proxyServer, QStringLiteral("127.0.0.1 "));
    QCOMPARE(again.proxyPort, 1081);
    QCOMPARE(again.proxyLevel, QStringLiteral("4A"));
    QCOMPARE(again.proxyPassword, QStringLiteral("p w"));
    QVERIFY(!again.passwordEnabled);
}

void OptionsDialogTest::checksPageIsStoredAndReadBack_data() {
    QTest::addColumn<QString>("storedProbe");  // empty: never stored
    QTest::addColumn<QString>("storedRecheck");
    QTest::addColumn<bool>("shownProbe");
    QTest::addColumn<int>("shownRecheck");
    QTest::addColumn<bool>("setProbe");
    QTest::addColumn<int>("setRecheck");
    QTest::addColumn<QString>("savedProbe");  // as the file holds it afterwards
    QTest::addColumn<QString>("savedRecheck");
    QTest::newRow("defaults, both changed") << ""
                                            << "" << true << 0 << false << 30 << "0"
                                            << "30";
    QTest::newRow("probe on again, recheck off") << "0"
                                                 << "60" << false << 60 << true << 0 << "1"
                                                 << "0";
    // Values the page shows unchanged are not rewritten, whatever their form.
    QTest::newRow("unchanged values stay as stored")
        << "5"
        << "99999" << true << 86400 << true << 86400 << "5"
        << "99999";
}

void OptionsDialogTest::checksPageIsStoredAndReadBack() {
    QFETCH(QString, storedProbe);
    QFETCH(QString, storedRecheck);
    QFETCH(bool, shownProbe);
    QFETCH(int, shownRecheck);
    QFETCH(bool, setProbe);
    QFETCH(int, setRecheck);
    QFETCH(QString, savedProbe);
    QFETCH(QString, savedRecheck);
    if (!storedProbe.isEmpty()) ini().ilAcceptAllProbe.SetText(storedProbe.toStdString());
    if (!storedRecheck.isEmpty()) ini().ilRecheckDeferred.SetText(storedRecheck.toStdString());
    const auto read = [](QDialog* d) {
        return std::make_pair(Child<QCheckBox>(d, "cbAcceptAllProbe")->isChecked(),
                              Child<QSpinBox>(d, "edRecheckDeferred")->value());
    };
    std::pair<bool, int> shown;
    openAndRead([&](QDialog* d) {
        shown = read(d);
        QCOMPARE(Child<QCheckBox>(d, "cbAcceptAllProbe")->text(),
                 QStringLiteral("&Detect domains that accept every address"));
        Child<QCheckBox>(d, "cbAcceptAllProbe")->setChecked(setProbe);
        Child<QSpinBox>(d, "edRecheckDeferred")->setValue(setRecheck);
        PressOk(d);
    });
    QCOMPARE(shown, std::make_pair(shownProbe, shownRecheck));
    mv::TINI reread(*dir_ / "config");
    QCOMPARE(QString::fromStdString(reread.ilAcceptAllProbe.Text()), savedProbe);
    QCOMPARE(QString::fromStdString(reread.ilRecheckDeferred.Text()), savedRecheck);
    openAndRead([&](QDialog* d) {
        shown = read(d);
        PressCancel(d);
    });
    QCOMPARE(shown, std::make_pair(setProbe, setRecheck));
}

MV_UI_TEST_MAIN(OptionsDialogTest)
#include "options_dialog_test.moc"
