// Pieces of the command descriptions that several files of help_text share
// (help_text.h tells how the descriptions are used).
#pragma once

#include "help_text.h"

namespace mv::cli {

// --socks, --socks-level, --socks-user, --socks-password.
OptionGroup SocksGroup(const char* heading);
// The Redis server (`address`: "redis", or check's "cluster"), the password
// file, the run's name and claim-after.
OptionGroup ClusterGroup(const char* heading, const char* address);

// The cluster's commands (help_text_cluster.cpp).
Command Cluster();
Command Worker();
// help_text_doctor.cpp
Command Doctor();

// --recover of the commands that read a project without saving it.
Option RecoverOption();

}  // namespace mv::cli
