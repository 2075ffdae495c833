// Cutting an e-mail address out of a text, and the domain of an address.
#pragma once

#include <string>
#include <string_view>

namespace mv {

// The characters that can belong to an address are "#", "-", ".", the digits,
// "@", the letters A-Z and a-z, "[", "]" and "_", and to the left of the "@"
// also ! $ % & ' * + / = ? ^ ` { | } ~ (so the whole local part is taken);
// anything else (blanks, angle brackets, quotes, parentheses, commas,
// semicolons, colons, other bytes outside 32..127) ends an address; a
// well-formed UTF-8 sequence (a non-ASCII letter) belongs to it on either
// side of the "@", a malformed one ends it. The
// result is the stretch of such characters around the first "@", or empty
// when there is no "@". So "John Smith <john@example.com>" gives
// "john@example.com", and "first+tag@example.com" stays whole.
std::string ExtractAddress(std::string_view text);

// The text after the first "@", at most 255 characters; the whole text (at
// most 255 characters) when there is no "@".
std::string DomainOf(std::string_view text);

}  // namespace mv
