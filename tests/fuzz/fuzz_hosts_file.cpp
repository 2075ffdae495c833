// Feeds arbitrary text to the hosts-file reader, then asks it for every word
// of the text: a name it knows has exactly one IPv4 address, and that address
// has a name.
#include <arpa/inet.h>

#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

#include "input_file.h"
#include "platform/resolver/hosts_file.h"

namespace {

void Check(bool condition) {
    if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static fuzz::InputFile file;
    mv::HostsFile hosts(file.Write(data, size));  // a new table reads the file at once
    std::istringstream words(std::string(reinterpret_cast<const char*>(data), size));
    int asked = 0;
    for (std::string word; words >> word && asked < 64; ++asked) {
        const std::vector<std::string>* addresses = hosts.Addresses(word);
        if (addresses == nullptr) continue;
        Check(addresses->size() == 1);
        in_addr parsed{};
        Check(inet_pton(AF_INET, addresses->front().c_str(), &parsed) == 1);
        Check(hosts.NameOf(addresses->front()) != nullptr);
    }
    return 0;
}
