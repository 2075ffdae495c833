// The About box (TAboutBox, "&About Mailvetter...."): the program's icon,
// name, version and notice, and below a line the operating system and the
// memory. Created for one modal showing; Esc, Enter and OK all close it.
#pragma once

#include <QDialog>

#include "about/about_sources.h"

class QFrame;
class QLabel;
class QPushButton;

namespace mv::ui {

class TAboutBox : public QDialog {
    Q_OBJECT
  public:
    // The client area's size; taller when the system's line needs more lines.
    static constexpr QSize kClientSize{351, 183};

    TAboutBox(const AboutSources& sources, QWidget* owner);

    // Esc closes as OK does.
    void reject() override { accept(); }

  private:
    void FormCreate(const AboutSources& sources);
    void LayOut();

    QLabel* Image1 = nullptr;
    QLabel* lbTitle = nullptr;
    QLabel* lbVersion = nullptr;
    QLabel* lbNotice = nullptr;
    QFrame* Bevel1 = nullptr;
    QLabel* OS = nullptr;
    QLabel* PhysMem = nullptr;
    QPushButton* OKButton = nullptr;
};

}  // namespace mv::ui
