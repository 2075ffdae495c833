#include "window_suite.h"

namespace mv::test {

void WindowSuite::StartCase() {
    dir_ = std::make_unique<TempDir>();
    loop_ = std::make_unique<WindowLoop>();
    driver_ = std::make_unique<ModalDriver>();
}

void WindowSuite::OpenWindow(const ui::CheckOverrides& overrides) {
    window_.reset();  // its settings are written before the next one reads them
    window_ = std::make_unique<WindowUnderTest>(*dir_ / "config", loop_->loop(), overrides);
}

void WindowSuite::OpenWindowOn(const FakeWorld& world) {
    ui::CheckOverrides overrides;
    overrides.dns = world.dnsServer();
    overrides.dnsPort = world.dnsPort();
    overrides.smtpPort = world.smtpPort();
    OpenWindow(overrides);
}

void WindowSuite::EndCase() {
    window_.reset();
    driver_.reset();
    loop_.reset();
    dir_.reset();
}

}  // namespace mv::test
