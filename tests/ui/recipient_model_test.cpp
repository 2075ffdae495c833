// The item-model adapter over the recipient list: Qt's model checker watches
// it while the list changes every way it can, the roles show the row as the
// window draws it (the result's tool tip with what the address tells), and
// row changes reach the views once per frame.
#include <QAbstractItemModelTester>
#include <QSignalSpy>

#include "common/icons.h"
#include "models/recipient_model.h"
#include "models/result_tool_tip.h"
#include "models/row_filter_model.h"
#include "ui_test_support.h"

using mv::RecipientList;
using mv::RecipientRow;
using mv::ui::RecipientModel;

namespace {

RecipientRow Row(const std::string& caption, std::vector<std::string> subItems = {},
                 int32_t icon = mv::kIconNotChecked, int32_t mark = mv::kMarkChecked) {
    RecipientRow r;
    r.caption = caption;
    r.subItems = std::move(subItems);
    r.imageIndex = icon;
    r.stateIndex = mark;
    return r;
}

}  // namespace

class RecipientModelTest : public QObject {
    Q_OBJECT
  private slots:
    void staysConsistentThroughEveryKindOfChange();
    void rolesShowTheRow();
    void rowChangesReachTheViewOncePerFrame();
    void structuralChangeSendsWaitingChangesFirst();
    void filterShowsTheRowsOfOneVerdict();
    void toolTipTellsWhatTheAddressTells_data();
    void toolTipTellsWhatTheAddressTells();
};

void RecipientModelTest::staysConsistentThroughEveryKindOfChange() {
    RecipientList list;
    RecipientModel model(list);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    for (int i = 0; i < 5; ++i)
        list.AppendRow(Row("r" + std::to_string(i) + "@x.test"));
    list.InsertRow(0, Row("first@x.test"));
    list.AddColumn("City", 120);
    list.SetSubItem(2, 1, "Oslo");
    list.SetColumnCaption(2, "Town");
    list.RemoveRows(1, 2);
    list.RemoveRowsIf([](const RecipientList& l, size_t row) { return row % 2 == 0; });
    list.BeginUpdate();  // as opening a project does
    list.ResetColumns();
    list.Clear();
    list.AppendRow(Row("new@x.test"));
    list.EndUpdate();
    model.FlushChanges();
    QCOMPARE(model.rowCount(), 1);
    QCOMPARE(model.columnCount(), 2);
    QCOMPARE(model.index(0, 0).data().toString(), QStringLiteral("new@x.test"));
}

void RecipientModelTest::rolesShowTheRow() {
    RecipientList list;
    list.AddColumn("Name", 120);
    list.AppendRow(Row("anna@x.test", {"[0] Valid E-mail Address!", "Anna"}, mv::kIconValid,
                       mv::kMarkUnchecked));
    list.AppendRow(Row("bj\xc3\xb8rn@x.test", {}, mv::kIconNotChecked, 5));
    RecipientModel model(list);
    const QModelIndex address = model.index(0, 0);
    QCOMPARE(address.data().toString(), QStringLiteral("anna@x.test"));
    QCOMPARE(model.index(0, 1).data().toString(), QStringLiteral("[0] Valid E-mail Address!"));
    QCOMPARE(model.index(0, 2).data().toString(), QStringLiteral("Anna"));
    QCOMPARE(model.index(1, 0).data().toString(), QString::fromUtf8("bj\xc3\xb8rn@x.test"));
    QCOMPARE(model.index(1, 2).data().toString(), QString());  // fewer sub-items than columns
    QCOMPARE(address.data(Qt::CheckStateRole).toInt(), int(Qt::Unchecked));
    QCOMPARE(model.index(1, 0).data(Qt::CheckStateRole).toInt(), int(Qt::Unchecked));
    list.SetStateIndex(1, mv::kMarkChecked);
    QCOMPARE(model.index(1, 0).data(Qt::CheckStateRole).toInt(), int(Qt::Checked));
    QVERIFY(!model.index(0, 1).data(Qt::CheckStateRole).isValid());
    // A result shows its verdict (here from the code alone), no result none.
    QCOMPARE(address.data(Qt::DecorationRole).value<QIcon>().cacheKey(),
             mv::ui::VerdictIcon(mv::Verdict::kDeliverable).cacheKey());
    QCOMPARE(model.index(1, 0).data(Qt::DecorationRole).value<QIcon>().cacheKey(),
             mv::ui::ResultIcon(mv::kIconNotChecked).cacheKey());
    QCOMPARE(model.headerData(2, Qt::Horizontal).toString(), QStringLiteral("Name"));
    // Shown, never edited or toggled through the model.
    QVERIFY(!(model.flags(address) & (Qt::ItemIsEditable | Qt::ItemIsUserCheckable)));
    QVERIFY(model.flags(address) & Qt::ItemIsSelectable);
}

void RecipientModelTest::rowChangesReachTheViewOncePerFrame() {
    RecipientList list;
    for (int i = 0; i < 100; ++i)
        list.AppendRow(Row("r@x.test"));
    RecipientModel model(list);
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    for (size_t row : {40, 10, 70, 10}) {
        list.SetImageIndex(row, mv::kIconChecking);
        list.SetSubItem(row, 0, "Checking...");
    }
    QCOMPARE(changed.count(), 0);
    QVERIFY(changed.wait());
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed[0][0].value<QModelIndex>(), model.index(10, 0));
    QCOMPARE(changed[0][1].value<QModelIndex>(), model.index(70, 1));
}

void RecipientModelTest::structuralChangeSendsWaitingChangesFirst() {
    RecipientList list;
    for (int i = 0; i < 10; ++i)
        list.AppendRow(Row("r@x.test"));
    RecipientModel model(list);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QStringList order;
    connect(&model, &QAbstractItemModel::dataChanged, this,
            [&](const QModelIndex& a, const QModelIndex& b) {
                order << QStringLiteral("changed %1-%2").arg(a.row()).arg(b.row());
            });
    connect(&model, &QAbstractItemModel::rowsAboutToBeRemoved, this,
            [&](const QModelIndex&, int first, int last) {
                order << QStringLiteral("removing %1-%2").arg(first).arg(last);
            });
    list.SetSubItem(9, 0, "[550] Mailbox unavailable");
    list.RemoveRows(5, 5);  // the changed row goes; its change was sent while it still existed
    QCOMPARE(order, QStringList({"changed 9-9", "removing 5-9"}));
    QVERIFY(!model.ChangesPending());
}

void RecipientModelTest::filterShowsTheRowsOfOneVerdict() {
    using mv::ui::RowFilter;
    RecipientList list;
    RecipientModel model(list);
    mv::ui::RowFilterModel shown(model);
    QAbstractItemModelTester tester(&shown, QAbstractItemModelTester::FailureReportingMode::QtTest);
    const char* results[] = {"[0] Valid E-mail Address!",
                             "[550] Mailbox unavailable",
                             "",
                             "[-2] Time Out",
                             "Checking...",
                             "[552] Mailbox full"};
    for (const char* result : results)
        list.AppendRow(Row("a@x.test", {result}, *result == '[' ? mv::kIconFailed : -1));
    const auto rows = [&] {
        QList<size_t> listed;
        for (int r = 0; r < shown.rowCount(); ++r)
            listed << shown.ListRow(r);
        return listed;
    };
    const std::pair<RowFilter, QList<size_t>> table[] = {
        {RowFilter::kDeliverable, {0}},   {RowFilter::kUndeliverable, {1}},
        {RowFilter::kNotChecked, {2, 4}}, {RowFilter::kUnknown, {3}},
        {RowFilter::kRisky, {5}},
    };
    for (const auto& [filter, expected] : table) {
        shown.SetFilter(filter);
        QCOMPARE(rows(), expected);
    }
    shown.SetFilter(RowFilter::kAll);  // it stands aside: the view shows the list itself
    QCOMPARE(shown.rowCount(), 0);
    // Results that arrive move rows in and out, once per frame.
    shown.SetFilter(RowFilter::kNotChecked);
    list.SetSubItem(4, 0, "[0] Valid E-mail Address!");
    list.SetSubItem(1, 0, "Checking...");
    QTRY_COMPARE(rows(), QList<size_t>({1, 2}));
    QCOMPARE(shown.ShownRow(4), std::nullopt);
    QCOMPARE(shown.ShownRow(2), std::optional<int>(1));
    list.RemoveRows(0, 2);
    list.AppendRow(Row("new@x.test"));
    QCOMPARE(rows(), QList<size_t>({0, 4}));
}

void RecipientModelTest::toolTipTellsWhatTheAddressTells_data() {
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QStringList>("hostsTried");  // empty: no finding (a reopened project)
    QTest::addColumn<QString>("told");            // the tool tip's lines after the result's
    QTest::newRow("role and free, by Google")
        << "Info <info@gmail.com>" << QStringList{"gmail-smtp-in.l.google.com"}
        << "\nFlags: role, free\nProvider: Google";
    QTest::newRow("a typo, reopened")
        << "anna@gmail.con" << QStringList() << "\nSuggestion: anna@gmail.com";
    QTest::newRow("nothing to tell") << "anna@biz.example" << QStringList{"mx.biz.example"} << "";
}

void RecipientModelTest::toolTipTellsWhatTheAddressTells() {
    QFETCH(QString, caption);
    QFETCH(QStringList, hostsTried);
    QFETCH(QString, told);
    RecipientList list;
    list.AppendRow(Row(caption.toStdString(), {"[550] Mailbox unavailable"}, mv::kIconFailed));
    if (!hostsTried.isEmpty()) {
        mv::ResultFinding finding;  // unknown, protocol
        for (const QString& host : hostsTried)
            finding.hostsTried.push_back(host.toStdString());
        list.SetFinding(0, finding);
    }
    RecipientModel model(list);
    const QString tip = model.index(0, 1).data(Qt::ToolTipRole).toString();
    QCOMPARE(tip, (hostsTried.isEmpty()
                       ? "Verdict: undeliverable\n" + QString(mv::ui::kDerivedFromCodeNote)
                       : "Verdict: unknown\nReason: protocol\nReply: none") +
                      told);
}

MV_UI_TEST_MAIN(RecipientModelTest)
#include "recipient_model_test.moc"
