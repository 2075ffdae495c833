// How each field type is read from and written to its fixed-width text in a
// record. Decoders never look past the bytes they are given.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/text/code_page.h"

namespace mv::dbf {

struct DbfDate {
    int year = 0;
    int month = 0;
    int day = 0;
};

// C: the text up to the first zero byte, without trailing blanks, decoded
// from the table's code page into UTF-8.
std::string DecodeCharacter(std::string_view raw, const CodePage& page);

// N/F without decimals. Blank text reads 0; a whole number that does not fit
// in 32 bits is clamped to the nearest bound; any other text (a fraction,
// letters, dBase's "***" overflow mark) has no value.
std::optional<std::int32_t> DecodeInteger(std::string_view raw);

// N/F with decimals. Blank text reads 0; a decimal number (optionally with
// an exponent) reads as its double, clamped to the largest finite double when
// it is too large; any other text has no value.
std::optional<double> DecodeFloat(std::string_view raw);

// D: eight digits YYYYMMDD of a real calendar date; eight blanks, or
// anything else, have no value.
std::optional<DbfDate> DecodeDate(std::string_view raw);

// L: true for "T", "t", "Y" or "y".
bool DecodeLogical(std::string_view raw);

// M: the memo block number; blank reads 0 (no memo); text that is not a
// number below 2^32 has no value.
std::optional<std::uint32_t> DecodeMemoBlock(std::string_view raw);

// Writers fill all of `out` (the field's bytes in the record). Numbers are
// right-aligned and blank-padded; they return false when the value does not
// fit the width.
void EncodeCharacter(std::string_view utf8, const CodePage& page, char* out, std::size_t width);
bool EncodeInteger(std::int64_t value, char* out, std::size_t width);
bool EncodeFloat(double value, int decimals, char* out, std::size_t width);
void EncodeDate(const std::optional<DbfDate>& date, char* out, std::size_t width);
void EncodeLogical(const std::optional<bool>& value, char* out, std::size_t width);
void EncodeBlank(char* out, std::size_t width);

// A real date of the proleptic Gregorian calendar, years 1 to 9999.
bool IsValidDate(int year, int month, int day);

}  // namespace mv::dbf
