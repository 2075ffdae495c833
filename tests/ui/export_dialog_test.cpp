// "&Export Recipient List..." as a user meets it: the save dialog, the
// export dialog with its tolerance or its verdicts, the file written in each
// format and read back, the closing message, the flagged rows left out, and
// the choices remembered from one start of the program to the next.
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QPushButton>
#include <QRadioButton>

#include "export/export_dialog.h"
#include "modal_driver.h"
#include "project/import_export/export_settings.h"
#include "storage/dbf/tb_dbf.h"
#include "ui_test_support.h"
#include "window_suite.h"

using mv::test::ModalDriver;

namespace {

// The checked project: one row of each result an export tells apart.
const mv::test::TestRow kRows[] = {
    {"valid@ok.test", "[0] Valid E-mail Address!", mv::kIconValid, mv::kMarkUnchecked},
    {"mbox@ok.test", "[550] Mailbox unavailable", mv::kIconFailed},
    {"full@ok.test", "[452] Exceeded storage allocation. Try later", mv::kIconFailed},
    {"slow@ok.test", "[-2] Time Out: Recipient's SMTP Server didn't respond", mv::kIconFailed},
    {"gone@ok.test", "[11001] Failed: Invalid Domain Name", mv::kIconFailed},
    {"new@ok.test", "", mv::kIconNotChecked},
};

template <class T>
T* Child(QDialog* dialog, const char* name) {
    T* child = dialog->findChild<T*>(QString::fromLatin1(name));
    if (child == nullptr) qFatal("no control %s", name);
    return child;
}

const char* const kFailureBoxes[] = {"cbMailboxUnavailable", "cbExceededStorage", "cbTimeOut"};
const char* const kVerdictBoxes[] = {"cbDeliverable", "cbRisky", "cbUndeliverable", "cbUnknown"};

// Chooses "By verdict" with the verdicts named after "verdict".
void ChooseVerdicts(QDialog* d, const QStringList& verdicts) {
    Child<QRadioButton>(d, "rbByVerdict")->click();
    const QStringList names = {"deliverable", "risky", "undeliverable", "unknown"};
    for (int i = 0; i < 4; ++i)
        Child<QCheckBox>(d, kVerdictBoxes[i])->setChecked(verdicts.contains(names[i]));
}

// Chooses the tolerance in the export dialog: "zero", or the failures to
// take ("mailbox", "storage", "timeout"), or "verdict" and the verdicts to
// take; then presses OK.
ModalDriver::Action ChooseTolerance(const QStringList& failures) {
    return [failures](QDialog* d) {
        if (failures.value(0) == "verdict") {
            ChooseVerdicts(d, failures.mid(1));
            d->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
            return;
        }
        const bool zero = failures == QStringList{"zero"};
        Child<QRadioButton>(d, zero ? "rbToleranceZero" : "rbTolerance")->click();
        const QStringList keys = {"mailbox", "storage", "timeout"};
        for (int i = 0; i < 3; ++i)
            if (!zero)
                Child<QCheckBox>(d, kFailureBoxes[i])->setChecked(failures.contains(keys[i]));
        d->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
    };
}

// The addresses of an exported file, read back in its own format.
QStringList ReadBack(const std::filesystem::path& path) {
    QStringList addresses;
    const QString ext = QString::fromStdString(path.extension().string());
    if (ext == ".dbf") {
        mv::TTbDbf table("check");
        table.SetReadOnly(true);
        table.SetCreateIfNotFound(false);
        table.SetDbfFileName(path.string());
        table.SetActive(true);
        for (table.First(); !table.Eof(); table.Next())
            addresses << QString::fromStdString(table.Fields(0).AsString());
        return addresses;
    }
    const QString text = QString::fromStdString(mv::test::ReadFile(path));
    QStringList lines = text.split(ext == ".csv" ? "\r\n" : "\n", Qt::SkipEmptyParts);
    if (ext == ".csv") {
        if (lines.value(0) != "Email,Result") return {"bad header: " + lines.value(0)};
        lines.removeFirst();
    }
    for (const QString& line : lines)
        addresses << line.section(',', 0, 0);
    return addresses;
}

}  // namespace

class ExportDialogTest : public mv::test::WindowSuite {
    Q_OBJECT
  private:
    void start();  // the program, on the test's settings folder
    QString path(const char* name) { return QString::fromStdString((*dir_ / name).string()); }
    // Chooses `file` in the save dialog; `tolerance` acts in the export dialog.
    void exportTo(const QString& file, const ModalDriver::Action& tolerance);

  private slots:
    void init();
    void cleanup();

    void exportWritesThePassingRows_data();
    void exportWritesThePassingRows();
    void anExistingFileIsReplacedAfterTheQuestion();
    void choicesAreRememberedAcrossStarts();
    void byVerdictNeedsAVerdictAndIsRemembered();
    void leaveOutDropsFlaggedRows_data();
    void leaveOutDropsFlaggedRows();
};

void ExportDialogTest::init() {
    StartCase();
    mv::test::WriteProject(*dir_ / "checked.mlt", {std::begin(kRows), std::end(kRows)});
    start();
}

void ExportDialogTest::start() {
    OpenWindow();
    window_->form().OpenStartArgument({path("checked.mlt")});
}

void ExportDialogTest::cleanup() {
    QCOMPARE(driver_->Unexpected(), QStringList());
    QCOMPARE(driver_->Pending(), size_t{0});
    EndCase();
}

void ExportDialogTest::exportTo(const QString& file, const ModalDriver::Action& tolerance) {
    driver_->Expect([file](QDialog* d) {
        auto* files = qobject_cast<QFileDialog*>(d);
        QVERIFY(files != nullptr);
        QCOMPARE(files->windowTitle(), QStringLiteral("Export Recipient List"));
        QCOMPARE(files->acceptMode(), QFileDialog::AcceptSave);
        QVERIFY(!files->testOption(QFileDialog::DontConfirmOverwrite));
        QCOMPARE(files->defaultSuffix(), QStringLiteral("txt"));
        QCOMPARE(files->nameFilters(),
                 QStringList({"Data files (*.txt *.csv *.dbf)", "Text files (*.txt)", "CSV (*.csv)",
                              "dBase (*.dbf)"}));
        ModalDriver::ChooseFile(file)(d);
    });
    driver_->Expect(tolerance);
}

void ExportDialogTest::exportWritesThePassingRows_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<QStringList>("tolerance");
    QTest::addColumn<QStringList>("exported");
    const struct {
        QStringList tolerance;
        QStringList exported;
    } cases[] = {
        {{"zero"}, {"valid@ok.test"}},
        {{"mailbox"}, {"valid@ok.test", "mbox@ok.test"}},
        {{"storage"}, {"valid@ok.test", "full@ok.test"}},
        {{"timeout"}, {"valid@ok.test", "slow@ok.test"}},
        {{"mailbox", "storage", "timeout"},
         {"valid@ok.test", "mbox@ok.test", "full@ok.test", "slow@ok.test"}},
        // Read from a file, the rows have the verdicts of their codes.
        {{"verdict", "undeliverable"}, {"mbox@ok.test", "gone@ok.test"}},
        {{"verdict", "deliverable", "unknown"}, {"valid@ok.test", "full@ok.test", "slow@ok.test"}},
    };
    for (const char* ext : {"txt", "csv", "dbf"}) {
        for (const auto& c : cases) {
            const QString name = c.tolerance.join('+') + "." + ext;
            QTest::newRow(qPrintable(name)) << name << c.tolerance << c.exported;
        }
    }
}

void ExportDialogTest::exportWritesThePassingRows() {
    QFETCH(QString, file);
    QFETCH(QStringList, tolerance);
    QFETCH(QStringList, exported);
    const QString target = path(qPrintable(file));
    exportTo(target, ChooseTolerance(tolerance));
    driver_->Expect(ModalDriver::Press(QMessageBox::Ok));
    window_->action("acExportRecipient")->trigger();
    const mv::test::SeenDialog& done = driver_->Seen().back();
    QCOMPARE(done.title, QStringLiteral("Mailvetter"));
    QCOMPARE(done.icon, QMessageBox::Information);
    QCOMPARE(done.text,
             QStringLiteral("Exported %1 of 6 recipients to %2.").arg(exported.size()).arg(target));
    QCOMPARE(ReadBack(target.toStdString()), exported);
    QVERIFY(!window_->form().Modified());  // an export changes nothing in the project
}

void ExportDialogTest::anExistingFileIsReplacedAfterTheQuestion() {
    const QString target = path("old.txt");
    mv::test::WriteFile(target.toStdString(), "old@ok.test\n");
    driver_->Expect(ModalDriver::ChooseFile(target));
    driver_->Expect(ModalDriver::Press(QMessageBox::Yes));  // replace it?
    driver_->Expect(ChooseTolerance({"zero"}));
    driver_->Expect(ModalDriver::Press(QMessageBox::Ok));
    window_->action("acExportRecipient")->trigger();
    QVERIFY2(driver_->Seen().at(1).text.contains("already exists"),
             qPrintable(driver_->Seen().at(1).text));
    QCOMPARE(ReadBack(target.toStdString()), QStringList{"valid@ok.test"});
}

void ExportDialogTest::choicesAreRememberedAcrossStarts() {
    exportTo(path("first.txt"), [](QDialog* d) {
        // The first time: "Tolerance Zero", the failures not to be chosen.
        QVERIFY(Child<QRadioButton>(d, "rbToleranceZero")->isChecked());
        for (const char* box : kFailureBoxes)
            QVERIFY(!Child<QCheckBox>(d, box)->isEnabled());
        ChooseTolerance({"mailbox", "timeout"})(d);
    });
    driver_->Expect(ModalDriver::Press(QMessageBox::Ok));
    window_->action("acExportRecipient")->trigger();

    start();
    QList<bool> shown;
    exportTo(path("second.txt"), [&shown](QDialog* d) {
        shown << Child<QRadioButton>(d, "rbTolerance")->isChecked();
        for (const char* box : kFailureBoxes) {
            shown << Child<QCheckBox>(d, box)->isChecked();
            QVERIFY(Child<QCheckBox>(d, box)->isEnabled());
        }
        Child<QRadioButton>(d, "rbToleranceZero")->click();
        for (const char* box : kFailureBoxes)
            QVERIFY(!Child<QCheckBox>(d, box)->isEnabled());
        d->reject();  // Cancel: nothing is written or stored
    });
    window_->action("acExportRecipient")->trigger();
    QCOMPARE(shown, QList<bool>({true, true, false, true}));
    QVERIFY(!std::filesystem::exists(path("second.txt").toStdString()));
    const mv::ExportTolerance stored = mv::ReadExportTolerance(window_->ini());
    QVERIFY(!stored.zero && stored.mailboxUnavailable && !stored.exceededStorage && stored.timeOut);
}

void ExportDialogTest::byVerdictNeedsAVerdictAndIsRemembered() {
    exportTo(path("risky.txt"), [](QDialog* d) {
        QVERIFY(!Child<QCheckBox>(d, "cbRisky")->isEnabled());
        QPushButton* ok = d->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok);
        ChooseVerdicts(d, {});
        QVERIFY(!ok->isEnabled());  // nothing would be written
        ChooseVerdicts(d, {"risky"});
        QVERIFY(ok->isEnabled());
        ok->click();
    });
    driver_->Expect(ModalDriver::Press(QMessageBox::Ok));
    window_->action("acExportRecipient")->trigger();
    QCOMPARE(ReadBack(path("risky.txt").toStdString()), QStringList());

    start();
    QList<bool> shown;
    exportTo(path("again.txt"), [&shown](QDialog* d) {
        shown << Child<QRadioButton>(d, "rbByVerdict")->isChecked();
        for (const char* box : kVerdictBoxes)
            shown << Child<QCheckBox>(d, box)->isChecked();
        Child<QRadioButton>(d, "rbToleranceZero")->click();
        d->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
    });
    driver_->Expect(ModalDriver::Press(QMessageBox::Ok));
    window_->action("acExportRecipient")->trigger();
    QCOMPARE(shown, QList<bool>({true, false, true, false, false}));
    const mv::ExportVerdictChoice stored = mv::ReadExportVerdicts(window_->ini());
    QVERIFY(!stored.byVerdict && stored.verdicts.Has(mv::Verdict::kRisky));
}

void ExportDialogTest::leaveOutDropsFlaggedRows_data() {
    QTest::addColumn<QString>("leaveOut");    // as Export/LeaveOut stores it
    QTest::addColumn<QStringList>("choice");  // as ChooseTolerance takes it
    QTest::addColumn<QStringList>("exported");
    const QStringList all = {"valid@ok.test", "info@ok.test", "anna@gmail.com", "x@mailinator.com"};
    QTest::newRow("role") << "role" << QStringList{"zero"} << all.mid(0, 1) + all.mid(2);
    QTest::newRow("disposable and free") << "disposable,free" << QStringList{"mailbox"}
                                         << all.mid(0, 2) + QStringList{"mbox@ok.test"};
    QTest::newRow("role and free, by verdict")
        << "role,free" << QStringList{"verdict", "deliverable"} << all.mid(0, 1);
}

void ExportDialogTest::leaveOutDropsFlaggedRows() {
    QFETCH(QString, leaveOut);
    QFETCH(QStringList, choice);
    QFETCH(QStringList, exported);
    std::vector<mv::test::TestRow> rows = {
        {"mbox@ok.test", "[550] Mailbox unavailable", mv::kIconFailed}};
    for (const char* address :
         {"x@mailinator.com", "anna@gmail.com", "info@ok.test", "valid@ok.test"})
        rows.insert(rows.begin(), {address, "[0] Valid E-mail Address!", mv::kIconValid});
    mv::test::WriteProject(*dir_ / "flagged.mlt", rows);
    window_->form().OpenStartArgument({path("flagged.mlt")});
    window_->ini().ilExportLeaveOut.SetText("free");  // stored by an earlier export
    QList<bool> shown;
    exportTo(path("out.txt"), [&](QDialog* d) {
        for (const char* flag : {"Role", "Disposable", "Free"}) {
            auto* box = Child<QCheckBox>(d, qPrintable(QStringLiteral("cbLeaveOut") + flag));
            shown << box->isChecked();
            box->setChecked(leaveOut.split(',').contains(QString(flag).toLower()));
        }
        ChooseTolerance(choice)(d);
    });
    driver_->Expect(ModalDriver::Press(QMessageBox::Ok));
    window_->action("acExportRecipient")->trigger();
    QCOMPARE(shown, QList<bool>({false, false, true}));
    QCOMPARE(ReadBack(path("out.txt").toStdString()), exported);
    QCOMPARE(QString::fromStdString(window_->ini().ilExportLeaveOut.Text()), leaveOut);
}

MV_UI_TEST_MAIN(ExportDialogTest)
#include "export_dialog_test.moc"
