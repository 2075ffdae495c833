// The tool tip of a row's result: what the result means. For a row checked
// since the project was opened: its verdict, its reason and the reply line
// that decided them. For a row read from a project file only the verdict,
// derived from the result code, and a note saying so (the reply is not kept
// in the file). Below, what the address tells: its flags, a suggestion for a
// mistyped domain and the mail provider, where there are any; the lists
// these come from are read with the first tool tip (none is shown while
// they cannot be read).
#pragma once

#include <QString>
#include <cstddef>

#include "project/list/recipient_list.h"

namespace mv::ui {

// Empty for a row without a result (never checked, or being checked).
QString ResultToolTip(const RecipientList& list, size_t row);

// The note of a verdict that comes from the result code alone.
inline constexpr const char* kDerivedFromCodeNote =
    "Derived from the result code alone:\n"
    "the project's findings file holds no reason or reply for this row.";

}  // namespace mv::ui
