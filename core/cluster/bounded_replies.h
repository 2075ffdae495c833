// hiredis's reader sets aside room for an array's elements as soon as it has
// read the array's header, before a byte of them has come: "*2000000000\r\n"
// alone asks for 16 GB, and nested headers multiply it. These reader
// functions build the same replies as hiredis's own but refuse a reply whose
// arrays together announce more than kMaxReplyElements elements; the reader
// then fails the connection ("Out of memory") and the process lives on.
#pragma once

#include <hiredis/read.h>

namespace mv::cluster {

// Far above any reply the cluster asks for (XREADGROUP COUNT 10000 entries of
// a few fields each), small enough that its pointers take 8 MB at most.
inline constexpr long long kMaxReplyElements = 1LL << 20;

// What the arrays of the reply being read have announced so far.
struct ReplyBudget {
    long long elements = 0;
};

// Makes `reader` build its replies within `budget`, which must live as long
// as the reader reads.
void BoundReplies(redisReader* reader, ReplyBudget* budget);

}  // namespace mv::cluster
