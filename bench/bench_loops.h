// The message loop backends a benchmark can run on: "epoll", and with the
// desktop program built "qt" (the window's loop) and "qt-per-socket" (one Qt
// notifier per descriptor, the integration it was measured against).
#pragma once

#include <memory>
#include <string>

#include "platform/loop/message_loop.h"

namespace mv::bench {

// Null for a name this build does not have. The Qt ones make Qt's
// application object on first use (in the process that runs them).
std::unique_ptr<MessageLoop> MakeBenchLoop(const std::string& name);
bool HasBenchLoop(const std::string& name);
const char* BenchLoopNames();

}  // namespace mv::bench
