// Raising the process's limits for many connections at once.
#pragma once

namespace mv {

// Raises the open-file limit to the hard limit the system allows; returns the
// limit now in force. Every check holds a few descriptors, so a large run
// needs far more than the usual soft limit of 1024.
long RaiseOpenFileLimit();

}  // namespace mv
