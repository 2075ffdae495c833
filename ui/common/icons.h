// The program's icons: for the tool bar the desktop theme's icon of each
// freedesktop name, with our own where the theme has none; for the program
// itself and the results always our own.
#pragma once

#include <QIcon>
#include <QPixmap>

#include "engine/result_verdict.h"

namespace mv::ui {

enum class IconId {
    kProgram,
    kNew,
    kOpen,
    kSave,
    kFind,
    kStart,
    kStop,
    kOptions,
    kResultValid,
    kResultFailed,
    kResultChecking,
    kVerdictDeliverable,
    kVerdictUndeliverable,
    kVerdictRisky,
    kVerdictUnknown,
};

// The icon (made once, then shared).
const QIcon& Icon(IconId id);

// The icon of a row's result icon index (-1 none, 0 valid, 1 failed,
// 2 checking); "none" is an empty icon of the same size, so that the
// addresses of all rows line up.
const QIcon& ResultIcon(int imageIndex);

// The icon of a result's verdict, which a checked row shows in place of the
// plain valid or failed icon.
const QIcon& VerdictIcon(Verdict verdict);

// The splash window's picture (440 by 250 pixels).
QPixmap SplashPicture();

}  // namespace mv::ui
