// Internationalised addresses: the ASCII form of a domain (IDNA 2008 with
// the mapping of UTS #46, through libidn2), and what an import and a check
// need to know about the characters of an address.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace mv {

bool IsAscii(std::string_view text);

// The ASCII form of a domain written with non-ASCII letters
// ("bücher.example" -> "xn--bcher-kva.example", in lower case). An ASCII
// domain comes back as it is. None when the name has no ASCII form: bytes
// that are not UTF-8, or a character that a domain name may not hold.
std::optional<std::string> DomainToAscii(std::string_view domain);

// Whether the part of `address` before its last "@" (the whole text when it
// has none) holds a character outside ASCII: such an address can only be
// checked with SMTPUTF8.
bool LocalPartIsNonAscii(std::string_view address);

// Whether `utf8` can be written in Windows-1252, the code page of project
// files, with no character lost (turned into "?"). Malformed UTF-8 cannot.
bool FitsWindows1252(std::string_view utf8);

}  // namespace mv
