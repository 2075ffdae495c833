// The base of a window test suite: a settings folder of its own, the loop the
// window runs on, the main window and the driver of modal dialogs. A suite's
// init() calls StartCase() (and OpenWindow() when it wants the window at
// once), its cleanup() EndCase(), which tears them down in the order that lets
// nothing outlive what it uses.
#pragma once

#include <QObject>
#include <memory>

#include "fake_world.h"
#include "modal_driver.h"
#include "ui_test_support.h"

namespace mv::test {

class WindowSuite : public QObject {
  protected:
    std::unique_ptr<TempDir> dir_;
    std::unique_ptr<WindowLoop> loop_;
    std::unique_ptr<WindowUnderTest> window_;
    std::unique_ptr<ModalDriver> driver_;

    // A fresh settings folder, loop and modal driver; no window yet.
    void StartCase();
    // The main window over the folder's settings ("config"), replacing the
    // one before it.
    void OpenWindow(const ui::CheckOverrides& overrides = {});
    // The same, its checks sent to the fake mail world's DNS and SMTP ports.
    void OpenWindowOn(const FakeWorld& world);
    void EndCase();

    ui::TMainForm& form() { return window_->form(); }
    RecipientList& list() { return form().List(); }
    QAction* act(const char* name) { return window_->action(name); }
};

}  // namespace mv::test
