// "Check This &Computer..." in the window, offscreen, against the fake mail
// world: the dialog lists every check as it ends while the window's loop
// keeps running, takes its port-25 domains from the list, and "Check &Again"
// uses the public address typed in.
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>

#include "fake_world.h"
#include "modal_driver.h"
#include "preflight/preflight_form.h"
#include "ui_test_support.h"

using mv::test::ModalDriver;

namespace {

const char* const kWorld =
    "host mx.me.test\n"
    "host mx.shop.test\n"
    "domain me.test mx 10 mx.me.test\n"
    "domain shop.test mx 10 mx.shop.test\n"
    "record 7.100.51.198.in-addr.arpa ptr me.test\n";

// Result and advice of each row, by check name.
QMap<QString, QStringList> Rows(const mv::ui::TFormPreflight* dialog) {
    QMap<QString, QStringList> rows;
    const QTableWidget* list = dialog->List();
    for (int i = 0; i < list->rowCount(); ++i)
        rows[list->item(i, 0)->text()] = {list->item(i, 1)->text(), list->item(i, 2)->text()};
    return rows;
}

}  // namespace

class PreflightDialogTest : public QObject {
    Q_OBJECT
  private slots:
    void listsEveryCheckAndChecksAgainWithThePublicAddress();
};

void PreflightDialogTest::listsEveryCheckAndChecksAgainWithThePublicAddress() {
    mv::test::FakeWorld world(kWorld);
    mv::test::TempDir dir;
    mv::test::WindowLoop loop;
    mv::ui::CheckOverrides overrides;
    overrides.dns = world.dnsServer();
    overrides.dnsPort = world.dnsPort();
    overrides.smtpPort = world.smtpPort();
    mv::test::WindowUnderTest window(dir / "config", loop.loop(), overrides);
    window.ini().ilFrom.SetText("Me <me@me.test>");
    window.ini().ilBlockLists.SetText("bl.test");
    mv::RecipientRow row;
    row.caption = "a@SHOP.test";
    row.subItems = {""};
    window.form().List().AppendRow(row);
    QVERIFY(mv::test::Entries(window.form().findChild<QMenu*>("Tools1"))
                .contains("Check This &Computer..."));

    ModalDriver driver;
    QMap<QString, QStringList> first, second;
    driver.Expect([&](QDialog* d) {
        auto* dialog = qobject_cast<mv::ui::TFormPreflight*>(d);
        QVERIFY(dialog != nullptr);
        QCOMPARE(dialog->windowTitle(), QString("Check This Computer"));
        QTRY_VERIFY_WITH_TIMEOUT(dialog->findChild<QPushButton*>("btAgain")->isEnabled(), 15000);
        first = Rows(dialog);
        dialog->findChild<QLineEdit*>("edPublicAddress")->setText("198.51.100.7");
        dialog->findChild<QPushButton*>("btAgain")->click();
        QVERIFY(dialog->Checking());
        QTRY_VERIFY_WITH_TIMEOUT(!dialog->Checking(), 15000);
        second = Rows(dialog);
        d->accept();
    });
    window.action("acPreflight")->trigger();
    QCOMPARE(driver.Pending(), size_t{0});
    QCOMPARE(driver.Unexpected(), QStringList());

    const QString port = "Outgoing port " + QString::number(world.smtpPort());
    QCOMPARE(first.keys(), QStringList({"Block list bl.test", "DNS servers", "From address",
                                        "HELO name", port, "Reverse name (PTR)"}));
    QCOMPARE(first["From address"], QStringList({"OK", "me.test has mail hosts: mx.me.test"}));
    QCOMPARE(first[port],
             QStringList({"OK", "shop.test connected (220 mx.shop.test ESMTP fakeworld)"}));
    QCOMPARE(first["Reverse name (PTR)"].at(0), QString("skipped"));
    QCOMPARE(second["Reverse name (PTR)"],
             QStringList({"OK", "198.51.100.7 is me.test, the HELO name"}));
    QCOMPARE(second["Block list bl.test"], QStringList({"OK", "not listed"}));
}

MV_UI_TEST_MAIN(PreflightDialogTest)
#include "preflight_dialog_test.moc"
