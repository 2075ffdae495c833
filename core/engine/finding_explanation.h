// Why a result's verdict is not the one its code gives: one line, written at
// the end of the transcript and shown in the result's tool tip. Derived from
// the code and the finding alone, so a result read back from a findings file
// explains itself as it did when it was checked.
#pragma once

#include <string>

#include "engine/result_finding.h"

namespace mv {

// "Refused by mx1.shop.test (550 5.1.1); a later host's acceptance does not
// count" when an earlier host's answer decided against the code (the code is
// the last host's), "mx.shop.test has an IPv6 address only, no IPv4 one" for
// no-ipv4-host; empty when the code tells the verdict itself.
std::string ExplainFinding(int code, const ResultFinding& finding);

}  // namespace mv
