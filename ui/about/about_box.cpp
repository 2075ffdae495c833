#include "about/about_box.h"

#include <QFont>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>
#include <algorithm>

#include "common/app_info.h"
#include "common/icons.h"

namespace mv::ui {

namespace {

constexpr int kMargin = 8;
constexpr int kIconSize = 32;
constexpr int kTextColumn = 66;  // the left edge of the text, from the client's
constexpr int kTitlePixels = 21;
constexpr int kLineSpacing = 4;

QLabel* MakeLabel(QWidget* parent, const char* name) {
    auto* label = new QLabel(parent);
    label->setObjectName(QString::fromLatin1(name));
    return label;
}

}  // namespace

TAboutBox::TAboutBox(const AboutSources& sources, QWidget* owner) : QDialog(owner) {
    setObjectName(QStringLiteral("AboutBox"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    Image1 = MakeLabel(this, "Image1");
    Image1->setFixedSize(kIconSize, kIconSize);
    Image1->setPixmap(Icon(IconId::kProgram).pixmap(kIconSize, kIconSize));
    lbTitle = MakeLabel(this, "lbTitle");
    QFont title(QStringLiteral("Arial"));
    title.setPixelSize(kTitlePixels);
    title.setBold(true);
    title.setItalic(true);
    lbTitle->setFont(title);
    QPalette red = lbTitle->palette();
    red.setColor(QPalette::WindowText, QColor(255, 0, 0));
    lbTitle->setPalette(red);
    lbVersion = MakeLabel(this, "lbVersion");
    lbNotice = MakeLabel(this, "lbNotice");
    Bevel1 = new QFrame(this);
    Bevel1->setObjectName(QStringLiteral("Bevel1"));
    Bevel1->setFrameShape(QFrame::HLine);
    Bevel1->setFrameShadow(QFrame::Sunken);
    OS = MakeLabel(this, "OS");
    OS->setWordWrap(true);  // a kernel's version can be long
    PhysMem = MakeLabel(this, "PhysMem");
    OKButton = new QPushButton(QStringLiteral("OK"), this);
    OKButton->setObjectName(QStringLiteral("OKButton"));
    OKButton->setDefault(true);
    connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);
    FormCreate(sources);
    LayOut();
}

void TAboutBox::FormCreate(const AboutSources& sources) {
    OS->setText(OsLine(sources));
    PhysMem->setText(MemoryLine(sources));
    setWindowTitle(QStringLiteral("About %1").arg(QString::fromLatin1(kAppTitle)));
    lbTitle->setText(QString::fromLatin1(kAppTitle));
    lbNotice->setText(QString::fromLatin1(kNoticeLine));
    lbVersion->setText(
        QStringLiteral("Version %1").arg(QString::fromStdString(sources.fileVersion)));
}

void TAboutBox::LayOut() {
    auto* heading = new QVBoxLayout;
    heading->setSpacing(kLineSpacing);
    heading->addWidget(lbTitle);
    heading->addWidget(lbVersion);
    heading->addWidget(lbNotice);
    auto* top = new QHBoxLayout;
    top->setSpacing(0);
    top->addWidget(Image1, 0, Qt::AlignTop);
    top->addSpacing(kTextColumn - kMargin - kIconSize);
    top->addLayout(heading, 1);

    auto* system = new QVBoxLayout;
    system->setSpacing(kLineSpacing);
    system->addWidget(OS);
    system->addWidget(PhysMem);
    auto* bottom = new QHBoxLayout;
    bottom->setSpacing(0);
    bottom->addSpacing(kTextColumn - kMargin);
    bottom->addLayout(system, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(OKButton);
    buttons->addStretch();

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(kMargin, kMargin, kMargin, kMargin);
    layout->addLayout(top);
    layout->addWidget(Bevel1);
    layout->addLayout(bottom);
    layout->addStretch();
    layout->addLayout(buttons);

    const int height =
        std::max(kClientSize.height(), layout->totalHeightForWidth(kClientSize.width()));
    setFixedSize(kClientSize.width(), height);
    layout->activate();
    const QScreen* s = parentWidget() != nullptr ? parentWidget()->screen() : screen();
    if (s != nullptr) move(s->availableGeometry().center() - rect().center());
}

}  // namespace mv::ui
