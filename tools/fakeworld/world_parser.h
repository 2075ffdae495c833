// Reads a world file (format in README.md): one rule per line, "host" lines
// for SMTP hosts and "domain" lines for the DNS.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "world.h"

namespace mv::fakeworld {

struct ParseResult {
    World world;                      // indexed, without addresses yet
    std::vector<std::string> errors;  // "FILE:LINE: reason", in line order; empty on success
};

// Parses the whole text; `fileName` only prefixes the error messages. Every
// bad line is reported, not just the first.
ParseResult ParseWorld(std::string_view text, std::string_view fileName);

}  // namespace mv::fakeworld
