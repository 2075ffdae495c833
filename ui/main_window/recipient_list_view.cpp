#include "main_window/recipient_list_view.h"

#include <QHeaderView>
#include <QMouseEvent>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <algorithm>
#include <functional>
#include <queue>
#include <vector>

#include "models/recipient_model.h"
#include "models/row_filter_model.h"

namespace mv::ui {

namespace {

// Draws cells without the focus frame of the current cell: the list selects
// whole rows, as a report list does, and has no current cell to show.
class RowDelegate final : public QStyledItemDelegate {
  public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyleOptionViewItem plain(option);
        plain.state &= ~QStyle::State_HasFocus;
        QStyledItemDelegate::paint(painter, plain, index);
    }
};

std::string_view CellText(const RecipientList& list, size_t row, int column) {
    return column == 0 ? list.Caption(row) : list.SubItem(row, static_cast<size_t>(column - 1));
}

QString ToQString(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

RecipientListView::RecipientListView(RecipientModel& model, RowFilterModel& shown, QWidget* parent)
    : QTableView(parent), model_(model), shown_(shown) {
    setModel(&model_);  // the filter is All
    setItemDelegate(new RowDelegate(this));
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setShowGrid(false);
    setWordWrap(false);
    setTabKeyNavigation(false);
    setCornerButtonEnabled(false);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    // Only the user's own scrolling triggers actions (a scroll into view does not).
    connect(verticalScrollBar(), &QAbstractSlider::actionTriggered, this, [this] {
        following_ = verticalScrollBar()->sliderPosition() >= verticalScrollBar()->maximum();
    });

    // Every row has the same height: the view then needs no per-row layout,
    // which keeps a million rows as quick as a hundred.
    QHeaderView* rows = verticalHeader();
    rows->hide();
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setMinimumSectionSize(1);
    rows->setDefaultSectionSize(fontMetrics().height() + 4);

    QHeaderView* columns = horizontalHeader();
    columns->setSectionsClickable(false);
    columns->setSectionsMovable(false);
    columns->setHighlightSections(false);
    columns->setSortIndicatorShown(false);
    columns->setStretchLastSection(false);
    columns->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    // The selection stays as visible without the focus as with it.
    QPalette colours = palette();
    for (auto role : {QPalette::Highlight, QPalette::HighlightedText})
        colours.setColor(QPalette::Inactive, role, colours.color(QPalette::Active, role));
    setPalette(colours);

    connect(&model_, &QAbstractItemModel::modelReset, this, [this] {
        ApplyColumnWidths();
        emit SelectionChanged();
    });
    connect(&model_, &QAbstractItemModel::columnsInserted, this,
            &RecipientListView::ApplyColumnWidths);
    connect(&model_, &QAbstractItemModel::headerDataChanged, this,
            &RecipientListView::ApplyColumnWidths);
    connect(columns, &QHeaderView::sectionResized, this,
            [this](int column, int, int width) { StoreColumnWidth(column, width); });
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { emit SelectionChanged(); });
    ApplyColumnWidths();
}

bool RecipientListView::Filtered() const {
    return model() == &shown_;
}

std::optional<int> RecipientListView::ViewRow(size_t row) const {
    if (Filtered()) return shown_.ShownRow(row);
    if (row >= model_.List().RowCount()) return std::nullopt;
    return static_cast<int>(row);
}

size_t RecipientListView::ListRowOf(int viewRow) const {
    return Filtered() ? shown_.ListRow(viewRow) : static_cast<size_t>(viewRow);
}

void RecipientListView::ShowRows(RowFilter filter) {
    const std::optional<size_t> selected = SelectedRow();
    shown_.SetFilter(filter);
    QAbstractItemModel* wanted = filter == RowFilter::kAll
                                     ? static_cast<QAbstractItemModel*>(&model_)
                                     : static_cast<QAbstractItemModel*>(&shown_);
    if (model() != wanted) {
        QItemSelectionModel* old = selectionModel();
        setModel(wanted);
        delete old;
        connect(selectionModel(), &QItemSelectionModel::selectionChanged, this,
                [this] { emit SelectionChanged(); });
        ApplyColumnWidths();
    }
    SelectRow(selected);
    if (const std::optional<size_t> row = SelectedRow()) RevealRow(*row);
    emit SelectionChanged();
}

std::optional<size_t> RecipientListView::SelectedRow() const {
    const std::optional<size_t> shown = SelectedShownRow();
    if (!shown) return std::nullopt;
    return ListRowOf(static_cast<int>(*shown));
}

void RecipientListView::SelectRow(std::optional<size_t> row) {
    const std::optional<int> shown = row ? ViewRow(*row) : std::nullopt;
    if (!shown) {
        selectionModel()->clearSelection();
        return;
    }
    selectionModel()->setCurrentIndex(
        model()->index(*shown, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

void RecipientListView::RevealRow(size_t row) {
    if (!following_) return;
    const std::optional<int> shown = ViewRow(row);
    if (!shown) return;
    const int r = *shown;
    const int top = rowViewportPosition(r);
    if (top + rowHeight(r) > 0 && top < viewport()->height()) return;  // partly visible is enough
    const int column = std::max(columnAt(0), 0);                       // no sideways scrolling
    if (column >= model()->columnCount()) return;
    scrollTo(model()->index(r, column), QAbstractItemView::EnsureVisible);
}

size_t RecipientListView::ShownRowCount() const {
    return static_cast<size_t>(model()->rowCount());
}

std::optional<size_t> RecipientListView::SelectedShownRow() const {
    const QModelIndexList rows = selectionModel()->selectedRows();
    if (rows.isEmpty()) return std::nullopt;
    return static_cast<size_t>(rows.first().row());
}

size_t RecipientListView::ListRowAt(size_t shown) const {
    return ListRowOf(static_cast<int>(shown));
}

// The width `column` needs for its widest text, with the room its cells take
// beside the text (check box, icon, margins). Only the texts longest in
// characters are measured: measuring a million would take seconds.
int RecipientListView::ContentWidth(int column) const {
    const RecipientList& list = model_.List();
    constexpr size_t kCandidates = 16;
    using Candidate = std::pair<size_t, size_t>;  // length, row
    std::priority_queue<Candidate, std::vector<Candidate>, std::greater<>> longest;
    for (size_t row = 0; row < list.RowCount(); ++row) {
        const size_t length = CellText(list, row, column).size();
        if (longest.size() == kCandidates && length <= longest.top().first) continue;
        longest.emplace(length, row);
        if (longest.size() > kCandidates) longest.pop();
    }
    int widest = 0;
    for (; !longest.empty(); longest.pop())
        widest = std::max(widest, fontMetrics().horizontalAdvance(
                                      ToQString(CellText(list, longest.top().second, column))));
    const QModelIndex sample = model()->index(0, column);
    if (!sample.isValid()) return widest;
    const size_t sampleRow = ListRowOf(0);
    return widest + sizeHintForIndex(sample).width() -
           fontMetrics().horizontalAdvance(ToQString(CellText(list, sampleRow, column)));
}

void RecipientListView::FitColumnsToAddresses() {
    if (model_.List().ColumnCount() < 2 || model_.List().Empty()) return;
    const int email = std::max(columnWidth(0), std::min(ContentWidth(0), viewport()->width() / 2));
    setColumnWidth(0, email);
    const int rest = viewport()->width() - email;
    setColumnWidth(1, std::max(columnWidth(1), std::min(ContentWidth(1), rest)));
}

void RecipientListView::rowsAboutToBeRemoved(const QModelIndex& parent, int start, int end) {
    const QModelIndex current = currentIndex();
    if (Filtered() && !shown_.ListRemoving() && current.isValid() && current.row() >= start &&
        current.row() <= end)
        selectionModel()->clear();
    QTableView::rowsAboutToBeRemoved(parent, start, end);
}

void RecipientListView::mousePressEvent(QMouseEvent* event) {
    QTableView::mousePressEvent(event);
    if (insideDoubleClick_) return;  // the double click handles it once
    PressAt(event->position().toPoint());
}

void RecipientListView::mouseDoubleClickEvent(QMouseEvent* event) {
    // The second press of a double click is a press too: it toggles as well.
    insideDoubleClick_ = true;
    QTableView::mouseDoubleClickEvent(event);
    insideDoubleClick_ = false;
    PressAt(event->position().toPoint());
}

void RecipientListView::PressAt(const QPoint& position) {
    const int row = rowAt(position.y());
    if (row >= 0 && position.x() < kCheckMarkWidth) emit CheckMarkPressed(ListRowOf(row));
    emit Clicked();
}

void RecipientListView::ApplyColumnWidths() {
    applyingWidths_ = true;
    const RecipientList& list = model_.List();
    for (size_t c = 0; c < list.ColumnCount(); ++c)
        setColumnWidth(static_cast<int>(c), std::max(list.Column(c).width, 0));
    applyingWidths_ = false;
}

void RecipientListView::StoreColumnWidth(int column, int width) {
    if (applyingWidths_ || column < 0 || static_cast<size_t>(column) >= model_.List().ColumnCount())
        return;
    model_.List().SetColumnWidth(static_cast<size_t>(column), width);
}

}  // namespace mv::ui
