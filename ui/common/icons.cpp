#include "common/icons.h"

#include <QFile>
#include <QPixmap>
#include <array>

// The program's resources live in a static library: they must be asked for
// by name before first use. Outside any namespace, as Qt requires.
static void InitProgramResources() {
    static const bool once = [] {
        Q_INIT_RESOURCE(mailvetter);
        return true;
    }();
    (void)once;
}

namespace mv::ui {

namespace {

struct IconSource {
    IconId id;
    const char* name;  // freedesktop name, and the name of our own icon
    bool themed;       // the desktop's theme may replace ours
};

// The program's icon and the result icons are always ours: no theme has the
// program's, and no theme icon means "valid address".
constexpr std::array<IconSource, 15> kSources = {{
    {IconId::kProgram, "mailvetter", false},
    {IconId::kNew, "document-new", true},
    {IconId::kOpen, "document-open", true},
    {IconId::kSave, "document-save", true},
    {IconId::kFind, "edit-find", true},
    {IconId::kStart, "media-playback-start", true},
    {IconId::kStop, "process-stop", true},
    {IconId::kOptions, "preferences-system", true},
    {IconId::kResultValid, "result-valid", false},
    {IconId::kResultFailed, "result-failed", false},
    {IconId::kResultChecking, "result-checking", false},
    {IconId::kVerdictDeliverable, "verdict-deliverable", false},
    {IconId::kVerdictUndeliverable, "verdict-undeliverable", false},
    {IconId::kVerdictRisky, "verdict-risky", false},
    {IconId::kVerdictUnknown, "verdict-unknown", false},
}};

// Our own icon in every size the resources hold (:/icons/SIZE/NAME.png).
QIcon OwnIcon(const char* name) {
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        const QString path = QStringLiteral(":/icons/%1/%2.png").arg(size).arg(QLatin1String(name));
        if (QFile::exists(path)) icon.addFile(path, QSize(size, size));
    }
    return icon;
}

QIcon Make(const IconSource& source) {
    QIcon own = OwnIcon(source.name);
    if (!source.themed) return own;
    return QIcon::fromTheme(QString::fromLatin1(source.name), own);
}

}  // namespace

const QIcon& Icon(IconId id) {
    static const std::array<QIcon, kSources.size()> icons = [] {
        InitProgramResources();
        std::array<QIcon, kSources.size()> made;
        for (const IconSource& s : kSources)
            made[static_cast<size_t>(s.id)] = Make(s);
        return made;
    }();
    return icons[static_cast<size_t>(id)];
}

QPixmap SplashPicture() {
    InitProgramResources();
    return QPixmap(QStringLiteral(":/splash/splash.png"));
}

const QIcon& ResultIcon(int imageIndex) {
    static const QIcon none = [] {
        QPixmap blank(16, 16);
        blank.fill(Qt::transparent);
        return QIcon(blank);
    }();
    switch (imageIndex) {
        case 0:
            return Icon(IconId::kResultValid);
        case 1:
            return Icon(IconId::kResultFailed);
        case 2:
            return Icon(IconId::kResultChecking);
        default:
            return none;
    }
}

const QIcon& VerdictIcon(Verdict verdict) {
    switch (verdict) {
        case Verdict::kDeliverable:
            return Icon(IconId::kVerdictDeliverable);
        case Verdict::kUndeliverable:
            return Icon(IconId::kVerdictUndeliverable);
        case Verdict::kRisky:
            return Icon(IconId::kVerdictRisky);
        case Verdict::kUnknown:
            break;
    }
    return Icon(IconId::kVerdictUnknown);
}

}  // namespace mv::ui
