#include "models/recipient_model.h"

#include <algorithm>
#include <climits>

#include "common/icons.h"
#include "models/result_tool_tip.h"

namespace mv::ui {

namespace {

int ToInt(size_t n) {
    return static_cast<int>(std::min<size_t>(n, INT_MAX));
}

QString Text(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// A row with a result shows its verdict; one being checked, or whose result
// text is not of the form "[code] text", its plain result icon.
const QIcon& RowIcon(const RecipientList& list, size_t row) {
    const int32_t icon = list.ImageIndex(row);
    if (icon == kIconValid || icon == kIconFailed) {
        if (const std::optional<Verdict> verdict = list.VerdictOf(row))
            return VerdictIcon(*verdict);
    }
    return ResultIcon(icon);
}

}  // namespace

RecipientModel::RecipientModel(RecipientList& list, QObject* parent)
    : QAbstractTableModel(parent), list_(list) {
    frame_.setSingleShot(true);
    frame_.setInterval(kFrameMs);
    connect(&frame_, &QTimer::timeout, this, &RecipientModel::FlushChanges);
    list_.AddObserver(this);
}

RecipientModel::~RecipientModel() {
    list_.RemoveObserver(this);
}

int RecipientModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ToInt(list_.RowCount());
}

int RecipientModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ToInt(list_.ColumnCount());
}

QVariant RecipientModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.parent().isValid()) return {};
    const auto row = static_cast<size_t>(index.row());
    const auto column = static_cast<size_t>(index.column());
    if (row >= list_.RowCount() || column >= list_.ColumnCount()) return {};
    switch (role) {
        case Qt::DisplayRole:
            return Text(column == 0 ? list_.Caption(row) : list_.SubItem(row, column - 1));
        case Qt::CheckStateRole:
            if (column != 0) return {};
            return list_.StateIndex(row) == kMarkChecked ? Qt::Checked : Qt::Unchecked;
        case Qt::DecorationRole:
            if (column != 0) return {};
            return RowIcon(list_, row);
        case Qt::ToolTipRole:
            if (column != 1) return {};
            if (const QString tip = ResultToolTip(list_, row); !tip.isEmpty()) return tip;
            return {};
        default:
            return {};
    }
}

QVariant RecipientModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        static_cast<size_t>(section) >= list_.ColumnCount())
        return {};
    return Text(list_.Column(static_cast<size_t>(section)).caption);
}

Qt::ItemFlags RecipientModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

void RecipientModel::FlushChanges() {
    frame_.stop();
    if (dirtyEnd_ <= dirtyFirst_) return;
    const size_t first = dirtyFirst_;
    const size_t end = std::min(dirtyEnd_, list_.RowCount());
    dirtyFirst_ = dirtyEnd_ = 0;
    if (first >= end || list_.ColumnCount() == 0) return;
    emit dataChanged(index(ToInt(first), 0), index(ToInt(end - 1), ToInt(list_.ColumnCount() - 1)));
}

// Structural changes first send what waits, while its row numbers still hold.

void RecipientModel::RowsAboutToBeInserted(size_t first, size_t count) {
    FlushChanges();
    beginInsertRows(QModelIndex(), ToInt(first), ToInt(first + count - 1));
}

void RecipientModel::RowsInserted(size_t, size_t) {
    endInsertRows();
}

void RecipientModel::RowsAboutToBeRemoved(size_t first, size_t count) {
    FlushChanges();
    beginRemoveRows(QModelIndex(), ToInt(first), ToInt(first + count - 1));
}

void RecipientModel::RowsRemoved(size_t, size_t) {
    endRemoveRows();
}

void RecipientModel::RowsChanged(size_t first, size_t count) {
    if (count == 0) return;
    if (dirtyEnd_ <= dirtyFirst_) {
        dirtyFirst_ = first;
        dirtyEnd_ = first + count;
    } else {
        dirtyFirst_ = std::min(dirtyFirst_, first);
        dirtyEnd_ = std::max(dirtyEnd_, first + count);
    }
    if (!frame_.isActive()) frame_.start();
}

void RecipientModel::ColumnsAboutToBeInserted(size_t first, size_t count) {
    FlushChanges();
    beginInsertColumns(QModelIndex(), ToInt(first), ToInt(first + count - 1));
}

void RecipientModel::ColumnsInserted(size_t, size_t) {
    endInsertColumns();
}

void RecipientModel::ColumnChanged(size_t column) {
    emit headerDataChanged(Qt::Horizontal, ToInt(column), ToInt(column));
}

void RecipientModel::AboutToBeReset() {
    frame_.stop();
    dirtyFirst_ = dirtyEnd_ = 0;  // everything is new after the reset
    beginResetModel();
}

void RecipientModel::Reset() {
    endResetModel();
}

}  // namespace mv::ui
