// Editing recipients in the window: the properties dialog, adding, editing
// and deleting rows, the commands on every mark, and the search with its
// dialog.
#include <QCheckBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScopeGuard>

#include "find/find_dialog.h"
#include "main_window/recipient_list_view.h"
#include "main_window/status_panels.h"
#include "modal_driver.h"
#include "properties/form_properties.h"
#include "properties/vertical_grid.h"
#include "ui_test_support.h"
#include "window_suite.h"

using mv::test::ModalDriver;
using mv::ui::TFormProperties;

namespace {

TFormProperties* Properties(QDialog* dialog) {
    return qobject_cast<TFormProperties*>(dialog);
}

// Types `texts` into the grid's items in order and presses OK.
ModalDriver::Action FillAndAccept(const QStringList& texts) {
    return [texts](QDialog* dialog) {
        TFormProperties* form = Properties(dialog);
        for (int i = 0; i < texts.size(); ++i)
            form->VerticalGrid->SetText(i, texts[i]);
        form->Button1->click();
    };
}

}  // namespace

class RecipientEditingTest : public mv::test::WindowSuite {
    Q_OBJECT
  private:
    void addRow(const std::string& caption, std::vector<std::string> subItems = {""},
                int32_t mark = mv::kMarkChecked);
    std::vector<int32_t> marks();
    void verifyNoSurprises();

  private slots:
    void init();
    void cleanup();
    void propertiesDialogAsSpecified();
    void newRecipientGoesBeforeTheSelection_data();
    void newRecipientGoesBeforeTheSelection();
    void blankAddressKeepsTheDialogOpen();
    void propertiesEditTheSelectedRow();
    void deleteCommandsAskFirst_data();
    void deleteCommandsAskFirst();
    void markCommandsChangeEveryRowAtOnce();
    void findNext_data();
    void findNext();
    void findDialogIsModelessAndStandard();
    void filterDecidesWhatIsShownAndSearched();
};

void RecipientEditingTest::init() {
    StartCase();
    OpenWindow();
    form().OpenStartArgument({});
}

void RecipientEditingTest::cleanup() {
    verifyNoSurprises();
    EndCase();
}

void RecipientEditingTest::addRow(const std::string& caption, std::vector<std::string> subItems,
                                  int32_t mark) {
    mv::RecipientRow row;
    row.caption = caption;
    row.subItems = std::move(subItems);
    row.stateIndex = mark;
    list().AppendRow(row);
}

std::vector<int32_t> RecipientEditingTest::marks() {
    std::vector<int32_t> out;
    for (size_t row = 0; row < list().RowCount(); ++row)
        out.push_back(list().StateIndex(row));
    return out;
}

void RecipientEditingTest::verifyNoSurprises() {
    QCOMPARE(driver_->Unexpected(), QStringList());
    QCOMPARE(driver_->Pending(), size_t{0});
}

void RecipientEditingTest::propertiesDialogAsSpecified() {
    list().AddColumn("Name", 120);
    list().AddColumn("City", 120);
    form().show();
    bool inspected = false;
    driver_->Expect([&](QDialog* dialog) {
        const auto close = qScopeGuard([dialog] {
            if (dialog->isVisible()) dialog->reject();
        });  // also when a check fails
        TFormProperties* p = Properties(dialog);
        QVERIFY(p != nullptr);
        QCOMPARE(p->windowTitle(), QStringLiteral("New Recipient"));
        QCOMPARE(p->size(), QSize(250, 332));
        QCOMPARE(p->minimumSize(), QSize(170, 190));
        QVERIFY(p->windowFlags() & Qt::WindowMaximizeButtonHint);
        QVERIFY(!(p->windowFlags() & Qt::WindowMinimizeButtonHint));
        const mv::ui::TVerticalGrid* grid = p->VerticalGrid;
        QCOMPARE(grid->Count(), 3);
        QCOMPARE(grid->Title(0) + grid->Title(1) + grid->Title(2),
                 QStringLiteral("<email><Name><City>"));
        QCOMPARE(grid->verticalHeader()->width(), 112);
        QCOMPARE(grid->columnWidth(0), 125);
        QCOMPARE(grid->item(0, 0)->foreground().color(), QColor(0, 0, 128));
        QVERIFY(p->focusWidget() == grid || grid->isAncestorOf(p->focusWidget()));
        QCOMPARE(p->Button1->text() + "|" + p->Button2->text(), QStringLiteral("OK|Cancel"));
        QVERIFY(p->Button1->isDefault());
        // Both buttons stand at the right edge.
        QVERIFY(p->width() - p->Button2->geometry().right() < 20);
        QVERIFY(p->Button1->geometry().right() < p->Button2->geometry().left());
        inspected = true;
    });
    act("acRecipientAdd")->trigger();
    QVERIFY(inspected);
    QCOMPARE(list().RowCount(), size_t{0});
    QVERIFY(form().Modified());  // Cancel marks the project modified all the same

    // Without extra columns the grid holds the one row "<email>".
    list().ResetColumns();
    driver_->Expect([](QDialog* dialog) {
        const auto close = qScopeGuard([dialog] {
            if (dialog->isVisible()) dialog->reject();
        });
        QCOMPARE(Properties(dialog)->VerticalGrid->Count(), 1);
        QCOMPARE(Properties(dialog)->VerticalGrid->Title(0), QStringLiteral("<email>"));
    });
    act("acRecipientAdd")->trigger();
}

void RecipientEditingTest::newRecipientGoesBeforeTheSelection_data() {
    QTest::addColumn<int>("selected");  // -1: none
    QTest::addColumn<int>("position");
    QTest::newRow("no selection: appended") << -1 << 6;
    QTest::newRow("row 5 selected") << 5 << 5;
    QTest::newRow("first row selected") << 0 << 0;
}

void RecipientEditingTest::newRecipientGoesBeforeTheSelection() {
    QFETCH(int, selected);
    QFETCH(int, position);
    list().AddColumn("City", 120);
    for (int i = 0; i < 6; ++i)
        addRow("old" + std::to_string(i) + "@x.test", {"[0] Valid E-mail Address!", "Rome"}, 0);
    form().ListView()->SelectRow(selected < 0 ? std::nullopt : std::optional<size_t>(selected));
    driver_->Expect(FillAndAccept({" \t new@x.test  ", "  Paris "}));
    act("acRecipientAdd")->trigger();
    QCOMPARE(list().RowCount(), size_t{7});
    const mv::RecipientRow added = list().Row(size_t(position));
    QCOMPARE(added.caption, std::string("new@x.test"));
    QCOMPARE(added.subItems, (std::vector<std::string>{"", "Paris"}));
    QCOMPARE(added.stateIndex, mv::kMarkChecked);
    QCOMPARE(added.imageIndex, mv::kIconNotChecked);
    QVERIFY(added.transcript.empty());
    QCOMPARE(form().ListView()->SelectedRow(), std::optional<size_t>(position));
    if (selected >= 0)
        QCOMPARE(std::string(list().Caption(size_t(selected) + 1)),
                 "old" + std::to_string(selected) + "@x.test");
    QVERIFY(act("acRecipientEdit")->isEnabled());
}

void RecipientEditingTest::blankAddressKeepsTheDialogOpen() {
    bool stayedOpen = false;
    driver_->Expect([&](QDialog* dialog) {
        const auto close = qScopeGuard([dialog] {
            if (dialog->isVisible()) dialog->reject();
        });  // unless accepted below
        TFormProperties* p = Properties(dialog);
        p->VerticalGrid->SetText(0, QStringLiteral(" \t "));
        driver_->Expect(ModalDriver::Press(QMessageBox::Ok));
        p->Button1->click();  // refused: the error box, and the dialog stays
        stayedOpen = p->isVisible() && p->result() != QDialog::Accepted;
        QCOMPARE(p->VerticalGrid->Text(0), QStringLiteral(" \t "));
        FillAndAccept({"kept@x.test"})(dialog);
    });
    act("acRecipientAdd")->trigger();
    QVERIFY(stayedOpen);
    const mv::test::SeenDialog& box = driver_->Seen().at(1);
    QCOMPARE(box.title, QStringLiteral("Mailvetter"));
    QCOMPARE(box.text, QStringLiteral("E-mail address cannot be blank."));
    QCOMPARE(box.icon, QMessageBox::Critical);
    QCOMPARE(std::string(list().Caption(0)), std::string("kept@x.test"));
}

void RecipientEditingTest::propertiesEditTheSelectedRow() {
    list().AddColumn("Name", 120);
    list().AddColumn("City", 120);
    addRow("first@x.test");
    // More values than the list has columns: the surplus is not shown and kept.
    addRow("Ann <ann@x.test>", {"[550] Mailbox unavailable", "Ann", "", "surplus"});
    list().SetImageIndex(1, mv::kIconFailed);
    form().show();
    QVERIFY(QTest::qWaitForWindowExposed(&form()));
    QStringList shown;
    driver_->Expect([&](QDialog* dialog) {
        const mv::ui::TVerticalGrid* grid = Properties(dialog)->VerticalGrid;
        QCOMPARE(dialog->windowTitle(), QStringLiteral("Properties"));
        for (int i = 0; i < grid->Count(); ++i)
            shown << grid->Text(i);
        FillAndAccept({"  ann@y.test ", "Ann", " Oslo\n"})(dialog);
    });
    // A double click away from the check mark opens the selected row.
    mv::ui::RecipientListView* view = form().ListView();
    const QPoint onRow(60, view->rowViewportPosition(1) + view->rowHeight(1) / 2);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, onRow);  // the first press
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, onRow);
    QCOMPARE(shown, QStringList({"Ann <ann@x.test>", "Ann", ""}));
    const mv::RecipientRow edited = list().Row(1);
    QCOMPARE(edited.caption, std::string("ann@y.test"));
    QCOMPARE(edited.subItems,
             (std::vector<std::string>{"[550] Mailbox unavailable", "Ann", "Oslo", "surplus"}));
    QCOMPARE(edited.imageIndex, mv::kIconFailed);
    QCOMPARE(edited.stateIndex, mv::kMarkChecked);
    QVERIFY(form().Modified());
}

void RecipientEditingTest::deleteCommandsAskFirst_data() {
    QTest::addColumn<QString>("command");
    QTest::addColumn<int>("answer");
    QTest::addColumn<QString>("question");
    QTest::addColumn<QStringList>("left");
    const QString one = QStringLiteral("Would you like to delete this recipient?");
    const QString checked = QStringLiteral("Would you like to delete all checked recipients?");
    QTest::newRow("delete: no") << "acRecipientDelete" << int(QMessageBox::No) << one
                                << QStringList{"a", "b", "c", "d"};
    QTest::newRow("delete: yes") << "acRecipientDelete" << int(QMessageBox::Yes) << one
                                 << QStringList{"a", "c", "d"};
    QTest::newRow("checked: no") << "acRecipientDeleteSelected" << int(QMessageBox::No) << checked
                                 << QStringList{"a", "b", "c", "d"};
    QTest::newRow("checked: yes") << "acRecipientDeleteSelected" << int(QMessageBox::Yes) << checked
                                  << QStringList{"b", "d"};
}

void RecipientEditingTest::deleteCommandsAskFirst() {
    QFETCH(QString, command);
    QFETCH(int, answer);
    QFETCH(QString, question);
    QFETCH(QStringList, left);
    list().AddColumn("City", 120);
    addRow("a");
    addRow("b", {""}, mv::kMarkUnchecked);
    addRow("c");
    addRow("d", {""}, 7);  // only a mark of 1 counts as checked
    form().ListView()->SelectRow(1);
    driver_->Expect(ModalDriver::Press(static_cast<QMessageBox::StandardButton>(answer)));
    act(command.toLatin1().constData())->trigger();
    QCOMPARE(driver_->Seen().back().title, QStringLiteral("Confirm"));
    QCOMPARE(driver_->Seen().back().text, question);
    QStringList captions;
    for (size_t row = 0; row < list().RowCount(); ++row)
        captions << QString::fromStdString(std::string(list().Caption(row)));
    QCOMPARE(captions, left);
    QCOMPARE(form().Modified(), answer == QMessageBox::Yes);
    if (answer == QMessageBox::Yes) {
        QCOMPARE(form().ListView()->SelectedRow(), std::nullopt);
        QVERIFY(!act("acRecipientDelete")->isEnabled());
        QVERIFY(!act("acFind")->isEnabled());
    }

    // Every row checked: all go, the columns stay.
    if (command != "acRecipientDeleteSelected" || answer != QMessageBox::Yes) return;
    act("acCheckAll")->trigger();
    driver_->Expect(ModalDriver::Press(QMessageBox::Yes));
    act("acRecipientDeleteSelected")->trigger();
    QCOMPARE(list().RowCount(), size_t{0});
    QCOMPARE(form().ListView()->model()->columnCount(), 3);
}

void RecipientEditingTest::markCommandsChangeEveryRowAtOnce() {
    for (int32_t mark : {1, 0, 7, 1})
        addRow("r", {""}, mark);
    act("acInvertSelection")->trigger();  // any mark but 1 becomes 1
    QCOMPARE(marks(), (std::vector<int32_t>{0, 1, 1, 0}));
    QVERIFY(form().Modified());
    act("acCheckAll")->trigger();
    act("acInvertSelection")->trigger();
    QCOMPARE(marks(), (std::vector<int32_t>{0, 0, 0, 0}));
    act("acCheckAll")->trigger();
    QCOMPARE(marks(), (std::vector<int32_t>{1, 1, 1, 1}));
    act("acUnCheckAll")->trigger();
    QCOMPARE(marks(), (std::vector<int32_t>{0, 0, 0, 0}));

    form().SetModified(false);
    QVERIFY(!act("acCheck")->isEnabled());
    form().ListView()->SelectRow(2);
    act("acCheck")->trigger();
    act("acCheck")->trigger();
    act("acCheck")->trigger();
    QCOMPARE(marks(), (std::vector<int32_t>{0, 0, 1, 0}));
    QVERIFY(form().Modified());
}

void RecipientEditingTest::findNext_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("matchCase");
    QTest::addColumn<bool>("down");
    QTest::addColumn<int>("from");   // the selected row
    QTest::addColumn<int>("found");  // -1: "Not found '%s'"
    QTest::newRow("ORG, any case") << "ORG" << false << true << 0 << 2;
    QTest::newRow("ORG, match case") << "ORG" << true << true << 0 << -1;
    QTest::newRow("org, match case") << "org" << true << true << 0 << 2;
    QTest::newRow("only in the result text") << "Mailbox" << false << true << 0 << -1;
    QTest::newRow("an extra column") << "lisbon" << false << true << 0 << 3;
    QTest::newRow("the selected row is passed") << "example" << false << true << 1 << 4;
    QTest::newRow("up") << "example" << false << false << 4 << 1;
    QTest::newRow("up from the first row") << "example" << false << false << 0 << -1;
    QTest::newRow("down from the last row") << "example" << false << true << 4 << -1;
    QTest::newRow("beyond ASCII") << "JÜRGEN" << false << true << 0 << 3;
}

void RecipientEditingTest::findNext() {
    QFETCH(QString, text);
    QFETCH(bool, matchCase);
    QFETCH(bool, down);
    QFETCH(int, from);
    QFETCH(int, found);
    list().AddColumn("Name", 120);
    list().AddColumn("City", 120);
    addRow("first@example.com");
    addRow("second@example.com", {"[550] Mailbox unavailable"});
    addRow("third@school.org");
    addRow("Jürgen <j@x.test>", {"[0] ORG", "", "Lisbon"});
    addRow("last@example.net");
    form().ListView()->SelectRow(size_t(from));
    mv::ui::TFindDialog* find = form().FindDialogWindow();
    find->SetFindText(text);
    find->SetMatchCase(matchCase);
    find->SetDown(down);
    if (found < 0) driver_->Expect(ModalDriver::Press(QMessageBox::Ok));
    act("acFindNext")->trigger();
    const int expected = found < 0 ? from : found;
    QCOMPARE(form().ListView()->SelectedRow(), std::optional<size_t>(expected));
    if (found < 0) QCOMPARE(driver_->Seen().back().text, "Not found '" + text + "'");
}

void RecipientEditingTest::findDialogIsModelessAndStandard() {
    addRow("a@example.org");
    addRow("b@example.org");
    form().show();
    form().ListView()->SelectRow(0);
    // Find Next with nothing to find opens the dialog instead.
    act("acFindNext")->trigger();
    mv::ui::TFindDialog* find = form().FindDialogWindow();
    QVERIFY(find->isVisible());
    QVERIFY(!find->isModal());
    QCOMPARE(find->windowTitle(), QStringLiteral("Find"));
    QVERIFY(find->findChild<QRadioButton*>("rbDown")->isChecked());
    QVERIFY(!find->findChild<QCheckBox*>("cbMatchCase")->isChecked());
    QStringList options;
    for (const QCheckBox* box : find->findChildren<QCheckBox*>())
        options << box->text();
    QCOMPARE(options, QStringList{"Match &case"});  // no whole-word option
    auto* findNext = find->findChild<QPushButton*>("btFindNext");
    QVERIFY(!findNext->isEnabled());
    QTest::keyClicks(find->findChild<QLineEdit*>("edFind"), "EXAMPLE");
    findNext->click();
    QCOMPARE(form().ListView()->SelectedRow(), std::optional<size_t>(1));
    QVERIFY(find->isVisible());  // it stays open while the user works on
}

void RecipientEditingTest::filterDecidesWhatIsShownAndSearched() {
    addRow("a@example.com", {"[0] Valid E-mail Address!"});
    addRow("b@example.com", {"[-2] Time Out"});
    addRow("c@example.com", {"[550] Mailbox unavailable"});
    addRow("d@example.com", {"[-2] Time Out"});
    form().ListView()->SelectRow(2);
    list().SetColumnWidth(0, 200);
    act("acShowUnknown")->trigger();
    QCOMPARE(form().ListView()->columnWidth(0), 200);  // the project's widths stand
    QCOMPARE(list().Column(0).width, 200);
    mv::ui::RecipientListView* view = form().ListView();
    QCOMPARE(view->ShownRowCount(), size_t{2});
    QCOMPARE(form().StatusBar()->ShowingText(), QStringLiteral("Showing 2 of 4"));
    // The selected row has left the list shown: nothing is selected.
    QCOMPARE(view->SelectedRow(), std::nullopt);
    QVERIFY(!act("acCheck")->isEnabled());
    // Find searches the rows shown, in their order (from the dialog, which
    // stays open when nothing is selected).
    mv::ui::TFindDialog* find = form().FindDialogWindow();
    find->SetFindText("example");
    emit find->Find();
    QCOMPARE(view->SelectedRow(), std::optional<size_t>(1));
    emit find->Find();
    QCOMPARE(view->SelectedRow(), std::optional<size_t>(3));
    act("acInvertSelection")->trigger();  // the rows shown only
    QCOMPARE(marks(), (std::vector<int32_t>{1, 0, 1, 0}));
    act("acShowAll")->trigger();
    QCOMPARE(form().StatusBar()->ShowingText(), QString());
    QCOMPARE(view->SelectedRow(), std::optional<size_t>(3));  // a shown row stays selected
}

MV_UI_TEST_MAIN(RecipientEditingTest)
#include "recipient_editing_test.moc"
