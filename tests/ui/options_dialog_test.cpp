// The options dialog as a user meets it through "&Options...": what it shows
// from the settings, what OK stores (and only what changed), that Cancel
// stores nothing, the arrows' limits, the host-name rule, the proxy page and
// the checks page, the cluster page and its "&Test".
#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTreeWidget>
#include <ctime>

#include "modal_driver.h"
#include "platform/settings_file/settings_file.h"
#include "redis_server.h"
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
    void accessKeysDifferOnEachPage();
    void clusterTestListsTheWorkers_data();
    void clusterTestListsTheWorkers();
    void failedSaveIsToldAndKeepsTheDialog();
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
    QCOMPARE(s.pages, QStringList({"Connection", "DNS", "Proxy", "Checks", "Cluster"}));
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

// The checks page's fields, each read and set as text: a check box as "1" or
// "0", a number field as its number.
QString FieldText(QWidget* field) {
    if (auto* box = qobject_cast<QCheckBox*>(field)) return box->isChecked() ? "1" : "0";
    if (auto* spin = qobject_cast<QSpinBox*>(field)) return QString::number(spin->value());
    return qobject_cast<QLineEdit*>(field)->text();
}

void SetFieldText(QWidget* field, const QString& text) {
    if (auto* box = qobject_cast<QCheckBox*>(field))
        box->setChecked(text == "1");
    else if (auto* spin = qobject_cast<QSpinBox*>(field))
        spin->setValue(text.toInt());
    else
        qobject_cast<QLineEdit*>(field)->setText(text);
}

mv::TINILinha& ChecksKey(mv::TINI& ini, const QString& field) {
    const std::pair<const char*, mv::TINILinha*> keys[] = {
        {"cbAcceptAllProbe", &ini.ilAcceptAllProbe},
        {"edRecheckDeferred", &ini.ilRecheckDeferred},
        {"edPerServer", &ini.ilPerServer},
        {"edPerServerRate", &ini.ilPerServerRate},
        {"edSourceAddress", &ini.ilSourceAddress},
        {"edBlockLists", &ini.ilBlockLists},
        {"edAddressesPerConnection", &ini.ilAddressesPerConnection},
        {"cbPreferIPv6", &ini.ilPreferIPv6},
    };
    for (const auto& [name, key] : keys)
        if (field == name) return *key;
    qFatal("no key for %s", qPrintable(field));
}

void OptionsDialogTest::checksPageIsStoredAndReadBack_data() {
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("stored");  // "-": never stored
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("set");
    QTest::addColumn<QString>("saved");  // as the file holds it afterwards
    const auto row = [](const char* what, const char* field, const char* stored, const char* shown,
                        const char* set, const char* saved) {
        QTest::addRow("%s: %s", field, what) << field << stored << shown << set << saved;
    };
    row("default changed", "cbAcceptAllProbe", "-", "1", "0", "0");
    row("on again", "cbAcceptAllProbe", "0", "0", "1", "1");
    row("default changed", "edRecheckDeferred", "-", "0", "30", "30");
    row("off again", "edRecheckDeferred", "60", "60", "0", "0");
    row("default changed", "edPerServer", "-", "5", "0", "0");
    row("below the range", "edPerServer", "-3", "0", "7", "7");
    row("default changed", "edPerServerRate", "-", "0", "120", "120");
    row("default changed", "edAddressesPerConnection", "-", "1", "20", "20");
    row("unchanged", "edAddressesPerConnection", "0", "1", "1", "0");
    row("default changed", "cbPreferIPv6", "-", "0", "1", "1");
    row("default changed", "edSourceAddress", "-", "", " 127.0.0.2 ", "127.0.0.2");
    row("emptied", "edSourceAddress", "127.0.0.2", "127.0.0.2", "", "");
    row("default changed", "edBlockLists", "-", "zen.spamhaus.org,bl.spamcop.net",
        " bl.test ,, dnsbl.test", "bl.test,dnsbl.test");
    row("emptied: no block list", "edBlockLists", "bl.test", "bl.test", "", "");
    // Values the page shows with the same meaning are not rewritten, whatever
    // their form: out of range (shown at the nearest end), blanks, spacing.
    row("unchanged", "cbAcceptAllProbe", "5", "1", "1", "5");
    row("unchanged", "edRecheckDeferred", "99999", "86400", "86400", "99999");
    row("unchanged", "edPerServer", "1200", "999", "999", "1200");
    row("unchanged", "edPerServerRate", "10000", "9999", "9999", "10000");
    row("unchanged", "edSourceAddress", " 10.0.0.5", "10.0.0.5", "10.0.0.5 ", " 10.0.0.5");
    row("unchanged", "edBlockLists", "a.test, b.test", "a.test, b.test", "a.test,b.test",
        "a.test, b.test");
}

void OptionsDialogTest::checksPageIsStoredAndReadBack() {
    QFETCH(QString, field);
    QFETCH(QString, stored);
    QFETCH(QString, shown);
    QFETCH(QString, set);
    QFETCH(QString, saved);
    const QByteArray name = field.toLatin1();
    if (stored != "-") ChecksKey(ini(), field).SetText(stored.toStdString());
    const std::string before = settingsFile();
    QString seen;
    openAndRead([&](QDialog* d) {
        seen = FieldText(Child<QWidget>(d, name.constData()));
        SetFieldText(Child<QWidget>(d, name.constData()), set);
        PressOk(d);
    });
    QCOMPARE(seen, shown);
    mv::TINI reread(*dir_ / "config");
    QCOMPARE(QString::fromStdString(ChecksKey(reread, field).Text()), saved);
    if (stored == saved) QCOMPARE(settingsFile(), before);  // nothing else written either
    QString expected;
    openAndRead([&](QDialog* d) {
        QWidget* widget = Child<QWidget>(d, name.constData());
        seen = FieldText(widget);
        // A text field shows the stored text, a number or check box its value.
        expected = qobject_cast<QLineEdit*>(widget) != nullptr ? saved.trimmed() : set;
        PressCancel(d);
    });
    QCOMPARE(seen, expected);
}

void OptionsDialogTest::accessKeysDifferOnEachPage() {
    open([](QDialog* d) {
        auto* pages = Child<QTabWidget>(d, "PageControl1");
        for (int i = 0; i < pages->count(); ++i) {
            QStringList keys;
            QWidget* page = pages->widget(i);
            for (const QObject* child : page->findChildren<QObject*>()) {
                const auto* label = qobject_cast<const QLabel*>(child);
                const auto* button = qobject_cast<const QAbstractButton*>(child);
                const QString text = label ? label->text() : button ? button->text() : QString();
                const qsizetype amp = text.indexOf(QLatin1Char('&'));
                if (amp >= 0 && amp + 1 < text.size()) keys << text.mid(amp + 1, 1).toLower();
            }
            keys.sort();
            QVERIFY2(keys.removeDuplicates() == 0, qPrintable(pages->tabText(i)));
        }
        PressCancel(d);
    });
}

void OptionsDialogTest::failedSaveIsToldAndKeepsTheDialog() {
    // The settings file cannot be replaced: a folder stands in its place.
    const auto file = mv::SettingsFile::PathForKey(mv::TINI::kKeyPath, *dir_ / "config");
    std::filesystem::remove(file);
    std::filesystem::create_directories(file);
    bool stayedOpen = false;
    open([&](QDialog* d) {
        Child<QLineEdit>(d, "edFrom")->setText("me@sender.test");
        driver_->Expect(ModalDriver::Press(QMessageBox::Ok));
        PressOk(d);
        stayedOpen = d->isVisible();
        PressCancel(d);
    });
    QVERIFY(stayedOpen);
    QVERIFY(driver_->Seen().back().text.startsWith("The settings could not be saved"));
}

void OptionsDialogTest::clusterTestListsTheWorkers_data() {
    QTest::addColumn<QString>("address");  // "redis": the test's own server
    QTest::addColumn<QString>("result");   // how the result line begins
    QTest::addColumn<QStringList>("workers");
    QTest::newRow("a worker") << "redis"
                              << "Connected to unix://" << QStringList{"w1", "host-1", "7", "idle"};
    QTest::newRow("malformed") << "http://x"
                               << "The Redis address is malformed: " << QStringList();
}

void OptionsDialogTest::clusterTestListsTheWorkers() {
    QFETCH(QString, address);
    QFETCH(QString, result);
    QFETCH(QStringList, workers);
    std::unique_ptr<mv::test::RedisServer> redis;
    if (address == "redis") {
        if (!mv::test::RedisServer::Available()) QSKIP("redis-server is not installed");
        redis = std::make_unique<mv::test::RedisServer>(mv::test::RedisServer::Options{});
        redis->Cli({"SADD", "mailvetter:workers", "w1"});
        redis->Cli({"HSET", "mailvetter:worker:w1", "host", "host-1", "seen",
                    std::to_string(std::time(nullptr)), "done", "7", "state", "idle"});
        address = QString::fromStdString(redis->Url());
    }
    QString shown;
    QStringList listed;  // the first worker's columns
    open([&](QDialog* d) {
        Child<QLineEdit>(d, "edClusterRedis")->setText(" " + address);
        Child<QPushButton>(d, "btTest")->click();
        auto* label = Child<QLabel>(d, "lbTestResult");
        QTRY_VERIFY_WITH_TIMEOUT(!label->text().endsWith("..."), 15000);
        shown = label->text();
        if (QTreeWidgetItem* item = Child<QTreeWidget>(d, "lvWorkers")->topLevelItem(0))
            for (int c = 0; c < item->columnCount(); ++c)
                listed << item->text(c);
        PressOk(d);
    });
    QVERIFY2(shown.startsWith(result), qPrintable(shown));
    QCOMPARE(listed, workers);
    QCOMPARE(mv::TINI(*dir_ / "config").ilClusterRedis.Text(), address.toStdString());  // trimmed
}

MV_UI_TEST_MAIN(OptionsDialogTest)
#include "options_dialog_test.moc"
