#include "net/socket/local_host_name.h"

#include <unistd.h>

#include "net/socket/socket_exception.h"

namespace mv {

std::string LocalHostName() {
    char name[65] = {};
    if (gethostname(name, 64) != 0) throw ESocketException("Winsock.GetHostName failed");
    name[64] = '\0';
    return name;
}

}  // namespace mv
