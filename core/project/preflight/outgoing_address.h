// The address this computer's connections leave from, and what kind of
// address it is: the receivers judge a checker by the address they see.
#pragma once

#include <string>

namespace mv {

// The local IPv4 address the system would use to reach `dottedQuad` (a route
// lookup: a datagram socket is connected, nothing is sent). Empty when there
// is no route or the address is not a dotted quad.
std::string LocalAddressTowards(const std::string& dottedQuad);

// True for a dotted quad that the Internet does not route: the private
// networks, shared address space behind a provider's router, loopback,
// link-local and "this network". A computer with such an address reaches the
// mail servers through a router whose public address is what they see.
bool IsPrivateAddress(const std::string& dottedQuad);

bool IsDottedQuad(const std::string& text);

// "a.b.c.d" as the labels of reverse and block-list names: "d.c.b.a".
std::string ReversedOctets(const std::string& dottedQuad);

}  // namespace mv
