#include "properties/property_rows.h"

#include <string>

#include "platform/text/text_trim.h"
#include "project/list/recipient_list.h"
#include "project/list/storable_caption.h"
#include "properties/form_properties.h"
#include "properties/vertical_grid.h"

namespace mv::ui {

namespace {

QString Text(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::string Trimmed(const QString& text) {
    return std::string(TrimBlanksAndControls(text.toStdString()));
}

}  // namespace

void BuildPropertyRows(TFormProperties& dialog, const RecipientList& list) {
    dialog.VerticalGrid->AddItem(QStringLiteral("<email>"));
    for (size_t column = 2; column < list.ColumnCount(); ++column)
        dialog.VerticalGrid->AddItem("<" + Text(list.Column(column).caption) + ">");
}

void LoadPropertyRows(TFormProperties& dialog, const RecipientList& list, size_t row) {
    TVerticalGrid& grid = *dialog.VerticalGrid;
    grid.SetText(0, Text(list.Caption(row)));
    // A row may hold more values than the list has columns (a project file
    // can say so); those have no item and are not shown.
    const size_t items = static_cast<size_t>(grid.Count());
    for (size_t j = 1; j < list.SubItemCount(row) && j < items; ++j)
        grid.SetText(static_cast<int>(j), Text(list.SubItem(row, j)));
}

void StorePropertyRows(const TFormProperties& dialog, RecipientList& list, size_t row) {
    const TVerticalGrid& grid = *dialog.VerticalGrid;
    const std::string caption = Trimmed(grid.Text(0));
    // The dialog has refused a caption that cannot be stored.
    list.SetCaption(row, StorableCaption(caption).value_or(caption));
    for (size_t column = 2; column < list.ColumnCount(); ++column)
        list.SetSubItem(row, column - 1, Trimmed(grid.Text(static_cast<int>(column - 1))));
}

}  // namespace mv::ui
