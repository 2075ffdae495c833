// Feeds arbitrary text to the os-release reader of the About box: the name it
// gives is never longer than the input and holds no line end or NUL byte.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/process/system_info.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::string name = mv::OsReleasePrettyName(input);
    if (name.size() > size ||
        name.find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos)
        std::abort();
    return 0;
}
