// The per-user folders of the XDG base directories.
#pragma once

#include <filesystem>

namespace mv {

// $`variable` when it is an absolute path, else `belowHome` in the user's
// home folder ($HOME, else the password database's): UserFolder
// ("XDG_CONFIG_HOME", ".config"), UserFolder("XDG_STATE_HOME", ".local/state").
std::filesystem::path UserFolder(const char* variable, const char* belowHome);

}  // namespace mv
