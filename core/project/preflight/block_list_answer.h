// What a DNS block list's answer about an address means. A listed address
// gets an A record in 127.0.0.0/8 whose last part says why; 127.255.255.x is
// the zone refusing to answer (the result then says nothing about the
// address), and an address outside 127/8 means the name was answered by
// something that is not the block list (a resolver that rewrites answers, a
// wrong zone name).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "project/preflight/preflight_item.h"

namespace mv {

struct BlockListReading {
    PreflightStatus status;
    std::string advice;
};

// `addresses`: the A records of the answer (dotted quads), in answer order;
// empty when the name does not exist (not listed).
BlockListReading ReadBlockListAnswer(const std::vector<std::string>& addresses);

// The meaning of one answer code, "" when it has no known meaning.
std::string BlockListCodeMeaning(const std::string& dottedQuad);

}  // namespace mv
