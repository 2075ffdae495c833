#include "log/form_log.h"

#include <QPlainTextEdit>
#include <QScreen>
#include <QVBoxLayout>

namespace mv::ui {

namespace {

// The lines as one text; a plain text document takes even thousands of
// lines at once, laying out only what is shown.
QString JoinLines(const std::vector<std::string>& lines) {
    size_t size = 0;
    for (const std::string& line : lines)
        size += line.size() + 1;
    std::string text;
    text.reserve(size);
    for (size_t i = 0; i < lines.size(); ++i) {
        if (i > 0) text += '\n';
        text += lines[i];
    }
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

TFormLog::TFormLog(const QString& address, const std::vector<std::string>& lines, QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("FormLog"));
    setWindowTitle(QStringLiteral("Log of %1").arg(address));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMaximizeButtonHint |
                   Qt::WindowCloseButtonHint);

    Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setReadOnly(true);
    Memo1->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setFocusPolicy(Qt::ClickFocus);  // not reached with Tab
    QPalette colours = Memo1->palette();    // the button face behind the text
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        colours.setColor(group, QPalette::Base, colours.color(group, QPalette::Button));
    Memo1->setPalette(colours);
    Memo1->setPlainText(JoinLines(lines));

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(Memo1);
    resize(kInitialSize);
    if (const QScreen* s = screen()) move(s->availableGeometry().center() - rect().center());
}

}  // namespace mv::ui
