#include "main_window/recipient_list_view.h"

#include <QHeaderView>
#include <QMouseEvent>
#include <QScrollBar>
#include <QStyledItemDelegate>

#include "models/recipient_model.h"

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

}  // namespace

RecipientListView::RecipientListView(RecipientModel& model, QWidget* parent)
    : QTableView(parent), model_(model) {
    setModel(&model_);
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

std::optional<size_t> RecipientListView::SelectedRow() const {
    const QModelIndexList rows = selectionModel()->selectedRows();
    if (rows.isEmpty()) return std::nullopt;
    return static_cast<size_t>(rows.first().row());
}

void RecipientListView::SelectRow(std::optional<size_t> row) {
    if (!row || *row >= static_cast<size_t>(model_.rowCount())) {
        selectionModel()->clearSelection();
        return;
    }
    const QModelIndex index = model_.index(static_cast<int>(*row), 0);
    selectionModel()->setCurrentIndex(
        index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

void RecipientListView::RevealRow(size_t row) {
    if (!following_ || row >= static_cast<size_t>(model_.rowCount())) return;
    const int r = static_cast<int>(row);
    const int top = rowViewportPosition(r);
    if (top + rowHeight(r) > 0 && top < viewport()->height()) return;  // partly visible is enough
    const int column = std::max(columnAt(0), 0);                       // no sideways scrolling
    if (column >= model_.columnCount()) return;
    scrollTo(model_.index(r, column), QAbstractItemView::EnsureVisible);
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
    if (row >= 0 && position.x() < kCheckMarkWidth) emit CheckMarkPressed(static_cast<size_t>(row));
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
