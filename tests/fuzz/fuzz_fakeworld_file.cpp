// World files of the fake mail world: any text must parse to a world or to
// error messages, and a parsed world must answer lookups of any name.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "world_parser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    mv::fakeworld::ParseResult result = mv::fakeworld::ParseWorld(text, "fuzz.world");
    if (!result.errors.empty()) return 0;
    result.world.AssignAddresses(0x7F010100u);
    for (const auto& domain : result.world.domains) {
        result.world.FindDomain(domain.name);
        for (const auto& mx : domain.mx)
            result.world.AddressOf(mx.host);
    }
    result.world.FindHost("a.b.c.example");
    return 0;
}
