// Between a recipient row and the properties dialog: the grid holds the
// address first, then one item per extra list column ("<email>", "<City>"...).
// The Result text is never shown; texts are stored trimmed of blanks and
// control characters at both ends.
#pragma once

#include <cstddef>

namespace mv {
class RecipientList;
}

namespace mv::ui {

class TFormProperties;

// "<email>", then "<%s>" for every list column from the third on; all empty.
void BuildPropertyRows(TFormProperties& dialog, const RecipientList& list);
// The row's address and its extra values into the grid built for the list.
void LoadPropertyRows(TFormProperties& dialog, const RecipientList& list, size_t row);
// The grid's address and extra values into the row; the Result text, the
// icon, the mark and the transcript stay as they are.
void StorePropertyRows(const TFormProperties& dialog, RecipientList& list, size_t row);

}  // namespace mv::ui
