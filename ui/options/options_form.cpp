#include "options/options_form.h"

#include <QDialogButtonBox>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QVBoxLayout>

#include "common/error_display.h"
#include "options/checks_page.h"
#include "options/cluster_page.h"
#include "options/connection_page.h"
#include "options/dns_page.h"
#include "options/proxy_page.h"
#include "settings/tini.h"

namespace mv::ui {

namespace {

using PageFactory = OptionsPage* (*)(QWidget* parent);

// The pages in their order; a new page is one more line here.
const PageFactory kPages[] = {
    [](QWidget* parent) -> OptionsPage* { return new ConnectionPage(parent); },
    [](QWidget* parent) -> OptionsPage* { return new DnsPage(parent); },
    [](QWidget* parent) -> OptionsPage* { return new ProxyPage(parent); },
    [](QWidget* parent) -> OptionsPage* { return new ChecksPage(parent); },
    [](QWidget* parent) -> OptionsPage* { return new ClusterPage(parent); },
};

}  // namespace

TFormOptions::TFormOptions(TINI& ini, QWidget* owner) : QDialog(owner), ini_(ini) {
    setObjectName(QStringLiteral("FormOptions"));
    setWindowTitle(QStringLiteral("Options"));
    // A fixed dialog frame: no resizing, no help button.
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);

    PageControl1 = new QTabWidget(this);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    for (PageFactory make : kPages) {
        OptionsPage* page = make(PageControl1);
        pages_.push_back(page);
        PageControl1->addTab(page, page->Caption());
    }

    auto* buttons = new QDialogButtonBox(this);
    Button1 = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setDefault(true);
    Button2 = buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    Button2->setObjectName(QStringLiteral("Button2"));
    connect(Button1, &QPushButton::clicked, this, &TFormOptions::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(PageControl1);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    FormCreate();
    adjustSize();
    if (const QScreen* s = owner != nullptr ? owner->screen() : screen())
        move(s->availableGeometry().center() - rect().center());
}

void TFormOptions::FormCreate() {
    PageControl1->setCurrentIndex(0);  // "Connection"
    for (OptionsPage* page : pages_)
        page->Load(ini_);
}

void TFormOptions::Button1Click() {
    for (OptionsPage* page : pages_)
        page->Save(ini_);
    if (Saved()) accept();
}

bool TFormOptions::Saved() {
    if (!ini_.INIArquivo1.SaveFailed()) return true;
    const std::string why = ini_.INIArquivo1.SaveError();
    ShowErrorBox(this,
                 "The settings could not be saved" + (why.empty() ? std::string() : ": " + why));
    return false;
}

}  // namespace mv::ui
