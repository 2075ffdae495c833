// "&Import Recipient List..." as a user meets it: the file dialog, the import
// dialog's preview and choices, an import that stops on "Cancel" or goes on,
// and files that cannot be read.
#include <sys/stat.h>
#include <unistd.h>
#include <QComboBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>

#include <clocale>

#include "../storage/dbf/dbf_bytes.h"
#include "import/elided_path_label.h"
#include "import/import_dialog.h"
#include "main_window/recipient_list_view.h"
#include "modal_driver.h"
#include "ui_test_support.h"
#include "window_suite.h"

using mv::test::ModalDriver;
using mv::ui::TImportDialog;

namespace {

template <class T>
T* Child(QDialog* dialog, const char* name) {
    T* child = dialog->findChild<T*>(QString::fromLatin1(name));
    if (child == nullptr) qFatal("no control %s", name);
    return child;
}

QString Q(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QStringList Items(const QComboBox* box) {
    QStringList items;
    for (int i = 0; i < box->count(); ++i)
        items << box->itemText(i);
    return items;
}

// What a test does in the import dialog before pressing "&Import".
using Choose = std::function<void(TImportDialog*)>;

std::string People() {
    return mv::test::DbfBytes({{"NAME", 'C', 12}, {"EMAIL", 'C', 30}})
        .Record({"Ann", "ann@a.org"})
        .Record({"Bob", "bob@b.org"}, true)
        .Build();
}

std::string Lines(int count) {
    std::string text;
    for (int i = 0; i < count; ++i)
        text += "user" + std::to_string(i) + "@x.org\n";
    return text;
}

}  // namespace

class ImportDialogTest : public mv::test::WindowSuite {
    Q_OBJECT
  private:
    QString file(const char* name, const std::string& bytes) {
        mv::test::WriteFile(*dir_ / name, bytes);
        return QString::fromStdString((*dir_ / name).string());
    }
    QStringList columns() {
        QStringList captions;
        for (const mv::ListColumn& c : list().Columns())
            captions << QString::fromStdString(c.caption);
        return captions;
    }
    // Picks `path` in the file dialog, lets `choose` act in the import
    // dialog, presses "&Import" (unless `choose` closed the dialog) and waits
    // for the command to end.
    void importFile(const QString& path, const Choose& choose = {});
    bool shownWhileReading_ = false;
    const int firstPreviewMs_ = TImportDialog::firstPreviewMs;

  private slots:
    void init();
    void cleanup();

    void previewOffersTheFilesColumns_data();
    void previewOffersTheFilesColumns();
    void appendTwiceThenReplace();
    void cancelWhileImporting_data();
    void cancelWhileImporting();
    void filesThatCannotBeReadAreReported_data();
    void filesThatCannotBeReadAreReported();
    void importWidensTheAddressColumn();
};

void ImportDialogTest::init() {
    QVERIFY(std::setlocale(LC_TIME, "C") != nullptr);
    StartCase();
    OpenWindow();
    form().OpenStartArgument({});
}

void ImportDialogTest::cleanup() {
    TImportDialog::firstPreviewMs = firstPreviewMs_;
    QCOMPARE(driver_->Unexpected(), QStringList());
    QCOMPARE(driver_->Pending(), size_t{0});
    form().SetModified(false);
    EndCase();
    QVERIFY(QGuiApplication::overrideCursor() == nullptr);
}

void ImportDialogTest::importFile(const QString& path, const Choose& choose) {
    driver_->Expect([path](QDialog* d) {
        auto* files = qobject_cast<QFileDialog*>(d);
        QVERIFY(files != nullptr);
        QCOMPARE(files->windowTitle(), QStringLiteral("Open Recipient List"));
        QCOMPARE(files->fileMode(), QFileDialog::ExistingFile);
        QCOMPARE(files->defaultSuffix(), QStringLiteral("txt"));
        QCOMPARE(files->nameFilters(),
                 QStringList({"Data files (*.txt *.csv *.dbf)", "Text files (*.txt)", "CSV (*.csv)",
                              "dBase (*.dbf)", "All files (*)"}));
        ModalDriver::ChooseFile(path)(d);
    });
    driver_->Expect([this, choose](QDialog* d) {
        auto* dialog = qobject_cast<TImportDialog*>(d);
        QVERIFY(dialog != nullptr);
        // A file still being read shows nothing to choose yet.
        shownWhileReading_ = !dialog->Ready() &&
                             !Child<QPushButton>(dialog, "btImport")->isEnabled() &&
                             !Child<QComboBox>(dialog, "cbEmail")->isEnabled() &&
                             Child<QProgressBar>(dialog, "PBar")->maximum() == 0;
        QTRY_VERIFY(dialog->Ready());
        if (choose) choose(dialog);
        if (dialog->isVisible()) Child<QPushButton>(dialog, "btImport")->click();
    });
    window_->action("acImportRecipient")->trigger();
}

void ImportDialogTest::previewOffersTheFilesColumns_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QStringList>("choices");
    QTest::addColumn<int>("preselected");
    QTest::addColumn<bool>("header");  // "First Line is:"
    QTest::addColumn<bool>("firstLineApplies");
    QTest::addColumn<int>("emailChoice");  // what the user then chooses, -1 none
    QTest::addColumn<QStringList>("columnsAfter");
    QTest::addColumn<QStringList>("firstRow");  // caption, Result, the extra columns
    const QString text = QStringLiteral("Plain Text / Comma Separated Values");
    QTest::newRow("header line")
        << "list.csv" << QByteArray("Name,EMail,City\nAnn,ann@a.org,Oslo\n\nBob,bob@b.org,Rome\n")
        << text << QStringList{"Name", "EMail", "City"} << 1 << true << true << -1
        << QStringList{"Email", "Result", "Name", "City"}
        << QStringList{"ann@a.org", "", "Ann", "Oslo"};
    QTest::newRow("data first line, long name")
        << "recipients-" + QString(150, 'x') + ".txt"
        << QByteArray("ann@a.org,Ann\nbob@b.org,Bob\n") << text << QStringList{"ann@a.org", "Ann"}
        << 0 << false << true << -1 << QStringList{"Email", "Result", "Ann"}
        << QStringList{"ann@a.org", "", "Ann"};
    QTest::newRow("user's own choice")
        << "list.csv" << QByteArray("Ann,ann@a.org\nBob,bob@b.org\n") << text
        << QStringList{"Ann", "ann@a.org"} << 1 << false << true << 0
        << QStringList{"Email", "Result", "ann@a.org"} << QStringList{"Ann", "", "ann@a.org"};
    QTest::newRow("dBase table") << "PEOPLE.DBF" << QByteArray::fromStdString(People())
                                 << QStringLiteral("dBase III Compatible Table")
                                 << QStringList{"NAME", "EMAIL"} << 1 << true << false << -1
                                 << QStringList{"Email", "Result", "NAME"}
                                 << QStringList{"ann@a.org", "", "Ann"};
}

void ImportDialogTest::previewOffersTheFilesColumns() {
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, kind);
    QFETCH(QStringList, choices);
    QFETCH(int, preselected);
    QFETCH(bool, header);
    QFETCH(bool, firstLineApplies);
    QFETCH(int, emailChoice);
    QFETCH(QStringList, columnsAfter);
    QFETCH(QStringList, firstRow);
    const QString path = file(name.toLatin1().constData(), bytes.toStdString());
    importFile(path, [&](TImportDialog* d) {
        QCOMPARE(d->windowTitle(), QStringLiteral("Import Recipient List"));
        auto* fileName = Child<mv::ui::ElidedPathLabel>(d, "lbFileName");
        QCOMPARE(fileName->Path(), path);
        // Shortened in the middle when it does not fit; the file's extension stays.
        const QString shown = fileName->ShownText();
        if (path.length() < 100)
            QCOMPARE(shown, path);
        else
            QVERIFY2(shown.contains(QChar(0x2026)) && shown.endsWith(".txt"), qPrintable(shown));
        QVERIFY(fileName->font().bold());
        QCOMPARE(Child<QLabel>(d, "lbFileKind")->text(), kind);
        auto* email = Child<QComboBox>(d, "cbEmail");
        QVERIFY(!email->isEditable());
        QCOMPARE(Items(email), choices);
        QCOMPARE(email->currentIndex(), preselected);
        QCOMPARE(Child<QRadioButton>(d, "rbHeader")->isChecked(), header);
        QCOMPARE(Child<QGroupBox>(d, "gbFirstLine")->isEnabled(), firstLineApplies);
        QVERIFY(Child<QRadioButton>(d, "rbAppend")->isChecked());
        QVERIFY(Child<QPushButton>(d, "btImport")->isDefault());
        QCOMPARE(Child<QProgressBar>(d, "PBar")->value(), 0);
        if (emailChoice >= 0) email->setCurrentIndex(emailChoice);
    });
    QCOMPARE(columns(), columnsAfter);
    QCOMPARE(list().RowCount(), size_t{2});
    std::vector<std::string_view> texts;
    list().Texts(0, texts);
    QStringList row;
    for (std::string_view t : texts)
        row << Q(t);
    QCOMPARE(row, firstRow);
    QCOMPARE(list().StateIndex(1), mv::kMarkChecked);
    QCOMPARE(list().ImageIndex(1), mv::kIconNotChecked);
    QVERIFY(form().Modified());
}

void ImportDialogTest::appendTwiceThenReplace() {
    const QString first = file("first.csv", "Name,Email\nAnn,ann@a.org\nBob,bob@b.org\n");
    importFile(first);
    importFile(first);
    QCOMPARE(list().RowCount(), size_t{4});
    QCOMPARE(columns(), QStringList({"Email", "Result", "Name"}));
    QCOMPARE(Q(list().Caption(2)), QStringLiteral("ann@a.org"));
    importFile(file("second.csv", "Email,City\ncid@c.org,Oslo\n"),
               [](TImportDialog* d) { Child<QRadioButton>(d, "rbReplace")->setChecked(true); });
    QCOMPARE(columns(), QStringList({"Email", "Result", "City"}));
    QCOMPARE(list().RowCount(), size_t{1});
    QCOMPARE(Q(list().SubItem(0, 1)), QStringLiteral("Oslo"));
    // "Cancel" before importing changes nothing.
    form().SetModified(false);
    importFile(first, [](TImportDialog* d) { Child<QPushButton>(d, "btCancel")->click(); });
    QCOMPARE(list().RowCount(), size_t{1});
    QVERIFY(!form().Modified());
}

void ImportDialogTest::cancelWhileImporting_data() {
    QTest::addColumn<bool>("stop");
    QTest::newRow("Yes stops") << true;
    QTest::newRow("No goes on") << false;
}

void ImportDialogTest::cancelWhileImporting() {
    QFETCH(bool, stop);
    constexpr int kLines = 200000;  // many slices
    const QString path = file("big.txt", Lines(kLines));
    TImportDialog::firstPreviewMs = 0;  // the preview too goes on while the dialog shows
    int64_t asked = -1;                 // the lines read when the question came
    importFile(path, [&](TImportDialog* d) {
        auto* cancel = Child<QPushButton>(d, "btCancel");
        // The user presses "Cancel" once the progress bar has moved, between
        // two slices as a real click arrives.
        connect(Child<QProgressBar>(d, "PBar"), &QProgressBar::valueChanged, cancel,
                [cancel](int value) {
                    if (value > 0 && value < kLines && cancel->property("pressed").isNull()) {
                        cancel->setProperty("pressed", true);
                        QTimer::singleShot(0, cancel, &QPushButton::click);
                    }
                });
        driver_->Expect([&asked, d, stop](QDialog* box) {
            asked = d->Import().Position();
            QVERIFY(!d->Import().Stopped());
            ModalDriver::Press(stop ? QMessageBox::Yes : QMessageBox::No)(box);
        });
    });
    QVERIFY(shownWhileReading_);
    QCOMPARE(driver_->Seen().back().title, QStringLiteral("Confirm"));
    QCOMPARE(driver_->Seen().back().text,
             QStringLiteral("Do you really want to cancel this operation?"));
    QVERIFY(asked > 0 && asked < kLines);
    if (stop) {
        // Exactly the lines read before the question, and nothing after.
        QCOMPARE(list().RowCount(), static_cast<size_t>(asked));
        QCOMPARE(Q(list().Caption(list().RowCount() - 1)),
                 QStringLiteral("user%1@x.org").arg(asked - 1));
    } else {
        QCOMPARE(list().RowCount(), static_cast<size_t>(kLines));
    }
    QVERIFY(form().Modified());
}

void ImportDialogTest::importWidensTheAddressColumn() {
    form().show();
    QVERIFY(QTest::qWaitForWindowExposed(&form()));
    const std::string longest = "long.mailbox.name@example.org";
    importFile(file("people.csv", "Email\nann@a.org\n" + longest + "\n"));
    mv::ui::RecipientListView* view = form().ListView();
    const int half = view->viewport()->width() / 2;
    QVERIFY(view->columnWidth(0) > view->fontMetrics().horizontalAdvance(Q(longest)));
    QVERIFY(view->columnWidth(0) <= half);
    QCOMPARE(view->columnWidth(1), 290);  // the results are empty: it keeps its width
    QCOMPARE(list().Column(0).width, view->columnWidth(0));  // saved with the project
    // An address longer than half the list gets half of it.
    importFile(file("long.csv", "Email\n" + std::string(300, 'x') + "@example.org\n"));
    QCOMPARE(view->columnWidth(0), half);
    // The folder of the list imported is where the next import starts.
    QCOMPARE(QString::fromStdString(window_->ini().ilFolderImports.Text()),
             QString::fromStdString(dir_->path().string()));
}

void ImportDialogTest::filesThatCannotBeReadAreReported_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("dialogShown");
    QTest::addColumn<QString>("error");  // the start of the message
    QTest::addColumn<int>("rowsAfter");
    std::string cut = mv::test::DbfBytes({{"EMAIL", 'C', 20}})
                          .Record({"a@x.org"})
                          .Record({"b@x.org"})
                          .Record({"c@x.org"})
                          .Build();
    cut.resize(cut.size() - 10);  // the third record is incomplete
    QTest::newRow("table cut short")
        << "cut.dbf" << QByteArray::fromStdString(cut) << true << "Error # 213" << 3;
    QTest::newRow("no table") << "text.dbf" << QByteArray("Email\na@x.org\n") << false << "Error # "
                              << 1;
    QTest::newRow("no text") << "binary.csv" << QByteArray("a@x.org\0\1\2", 10) << false << "" << 1;
}

void ImportDialogTest::filesThatCannotBeReadAreReported() {
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QFETCH(bool, dialogShown);
    QFETCH(QString, error);
    QFETCH(int, rowsAfter);
    list().AppendRow();  // an earlier row stays
    form().SetModified(false);
    const QString path = file(name.toLatin1().constData(), bytes.toStdString());
    driver_->Expect(ModalDriver::ChooseFile(path));
    if (dialogShown)
        driver_->Expect([](QDialog* d) { Child<QPushButton>(d, "btImport")->click(); });
    driver_->Expect(ModalDriver::Press(QMessageBox::Ok));
    window_->action("acImportRecipient")->trigger();
    const mv::test::SeenDialog& box = driver_->Seen().back();
    QCOMPARE(box.title, QStringLiteral("Mailvetter"));
    QCOMPARE(box.icon, QMessageBox::Critical);
    QVERIFY2(box.text.startsWith(error), qPrintable(box.text));
    QVERIFY2(box.text.contains(name), qPrintable(box.text));
    QCOMPARE(list().RowCount(), static_cast<size_t>(rowsAfter));
    QCOMPARE(form().Modified(), dialogShown);
    // The program goes on: the next import works.
    importFile(file("good.csv", "a@x.org\n"));
    QCOMPARE(list().RowCount(), static_cast<size_t>(rowsAfter + 1));
}

MV_UI_TEST_MAIN(ImportDialogTest)
#include "import_dialog_test.moc"
