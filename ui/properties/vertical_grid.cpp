#include "properties/vertical_grid.h"

#include <QHeaderView>
#include <QLineEdit>
#include <QStyledItemDelegate>

namespace mv::ui {

const QColor TVerticalGrid::kValueColour(0, 0, 128);

namespace {

// Edits a value in navy and hands every keystroke to the grid at once, so
// that OK reads what is typed even while the editor is still open.
class ValueDelegate final : public QStyledItemDelegate {
  public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override {
        QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
        if (auto* line = qobject_cast<QLineEdit*>(editor)) {
            QPalette colours = line->palette();
            colours.setColor(QPalette::Text, TVerticalGrid::kValueColour);
            line->setPalette(colours);
            auto* self = const_cast<ValueDelegate*>(this);
            connect(line, &QLineEdit::textEdited, self,
                    [self, line] { emit self->commitData(line); });
        }
        return editor;
    }
};

}  // namespace

TVerticalGrid::TVerticalGrid(QWidget* parent) : QTableWidget(1, 1, parent) {
    setObjectName(QStringLiteral("VerticalGrid"));
    setItemDelegate(new ValueDelegate(this));
    horizontalHeader()->hide();
    horizontalHeader()->setStretchLastSection(false);
    setColumnWidth(0, kValueWidth);

    // The titles are the fixed cells on the left.
    QHeaderView* titles = verticalHeader();
    titles->setFixedWidth(kTitleWidth);
    titles->setSectionResizeMode(QHeaderView::Fixed);
    titles->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    titles->setSectionsClickable(false);
    titles->setHighlightSections(false);

    setSelectionMode(QAbstractItemView::SingleSelection);
    // Typing, F2 or a click on the current value edits it; the dialog opens
    // with the address current but not yet in its editor.
    setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::SelectedClicked |
                    QAbstractItemView::EditKeyPressed | QAbstractItemView::AnyKeyPressed);
    setTabKeyNavigation(true);
    setWordWrap(false);
    SetText(0, QString());
    setVerticalHeaderItem(0, new QTableWidgetItem(QString()));
}

int TVerticalGrid::AddItem(const QString& title) {
    int item = 0;
    if (placeholder_) {
        placeholder_ = false;
    } else {
        item = rowCount();
        insertRow(item);
    }
    auto* header = new QTableWidgetItem(title);
    header->setForeground(palette().color(QPalette::WindowText));
    setVerticalHeaderItem(item, header);
    SetText(item, QString());
    return item;
}

QString TVerticalGrid::Title(int item) const {
    const QTableWidgetItem* header = verticalHeaderItem(item);
    return header != nullptr ? header->text() : QString();
}

QString TVerticalGrid::Text(int item) const {
    const QTableWidgetItem* value = this->item(item, 0);
    return value != nullptr ? value->text() : QString();
}

void TVerticalGrid::SetText(int item, const QString& text) {
    if (item < 0 || item >= rowCount()) return;
    QTableWidgetItem* value = this->item(item, 0);
    if (value == nullptr) {
        value = new QTableWidgetItem;
        value->setForeground(kValueColour);
        setItem(item, 0, value);
    }
    value->setText(text);
}

}  // namespace mv::ui
