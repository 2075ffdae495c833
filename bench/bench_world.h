// The fake mail world the run benchmarks check against: kBenchHosts mail
// hosts, each accepting "valid@..." and refusing any other address with 550,
// and the addresses of a list spread over them.
#pragma once

#include <string>

namespace mv::bench {

inline constexpr int kBenchHosts = 16;

inline std::string BenchWorld() {
    std::string world;
    for (int h = 0; h < kBenchHosts; ++h) {
        const std::string n = std::to_string(h);
        world.append("host mx").append(n).append(".bench users=valid\n");
        world.append("domain *.b").append(n).append(" mx 10 mx").append(n).append(".bench\n");
    }
    return world;
}

// Row `i` of a list: every other one valid, the rest refused (550).
inline std::string BenchAddress(int i) {
    return std::string(i % 2 == 0 ? "valid" : "nobody") + "@d" + std::to_string(i) + ".b" +
           std::to_string(i % kBenchHosts);
}

}  // namespace mv::bench
