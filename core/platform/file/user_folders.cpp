#include "platform/file/user_folders.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

namespace mv {

std::filesystem::path UserFolder(const char* variable, const char* belowHome) {
    const char* xdg = std::getenv(variable);
    if (xdg != nullptr && xdg[0] == '/') return xdg;
    const char* home = std::getenv("HOME");
    if (home == nullptr || home[0] == '\0') {
        const passwd* user = ::getpwuid(::getuid());
        home = user != nullptr ? user->pw_dir : "/";
    }
    return std::filesystem::path(home) / belowHome;
}

}  // namespace mv
