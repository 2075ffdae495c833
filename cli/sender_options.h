// The stored settings of a check with the sender options of the command line
// (--from, --helo, --dns) put over them, as check and doctor take them.
#pragma once

#include "cli_args.h"
#include "project/run/check_run.h"
#include "settings/tini.h"

namespace mv::cli {

CheckSettings StoredSettingsWithSender(const ParsedArgs& args, TINI& ini);

// The stored settings with all of check's overrides (those a command does
// not declare are simply absent): the sender options, --connections,
// --timeout, --no-accept-all-probe, --recheck-deferred, --per-server,
// --per-server-rate, --source-address and the --socks options.
CheckSettings CheckSettingsFor(const ParsedArgs& args, TINI& ini);

}  // namespace mv::cli
