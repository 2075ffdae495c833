// Project files spelled out byte by byte from the file layout (not produced
// by the writer), so that any change of the byte layout shows up as a
// difference here. Every line is one field; the comment says what it holds.
#pragma once

#include <cctype>
#include <stdexcept>
#include <string>
#include <string_view>

namespace mv::test {

// "54 50 46 30 ..." -> bytes; blanks and line breaks are ignored.
inline std::string FromHex(std::string_view hex) {
    std::string bytes;
    int high = -1;
    for (char c : hex) {
        if (std::isspace(static_cast<unsigned char>(c))) {
            continue;
        }
        const int digit =
            std::isdigit(static_cast<unsigned char>(c)) ? c - '0' : std::toupper(c) - 'A' + 10;
        if (digit < 0 || digit > 15) {
            throw std::invalid_argument("bad hex digit");
        }
        if (high < 0) {
            high = digit;
        } else {
            bytes += static_cast<char>(high * 16 + digit);
            high = -1;
        }
    }
    return bytes;
}

// The header and entries 1-6, with the position 0, 29, 640, 424.
inline constexpr std::string_view kHexHead = R"(
54 50 46 30                                      TPF0
09 54 4C 69 73 74 56 69 65 77                    "TListView"
09 4C 69 73 74 56 69 65 77 31                    "ListView1"
04 4C 65 66 74  02 00                            Left = 0 (tag 2)
03 54 6F 70  02 1D                               Top = 29 (tag 2)
05 57 69 64 74 68  03 80 02                      Width = 640 (tag 3)
06 48 65 69 67 68 74  03 A8 01                   Height = 424 (tag 3)
05 41 6C 69 67 6E  07 08 61 6C 43 6C 69 65 6E 74 Align = ident "alClient"
07 41 6C 6C 6F 63 42 79  04 50 C3 00 00          AllocBy = 50000 (tag 4)
)";

// Entry 7 for the two columns of a new project.
inline constexpr std::string_view kHexDefaultColumns = R"(
07 43 6F 6C 75 6D 6E 73  0E                      Columns = collection
  01                                             item
    07 43 61 70 74 69 6F 6E  06 05 45 6D 61 69 6C  Caption = "Email"
    05 57 69 64 74 68  02 78                     Width = 120 (tag 2)
  00                                             end of item
  01                                             item
    07 43 61 70 74 69 6F 6E  06 06 52 65 73 75 6C 74  Caption = "Result"
    05 57 69 64 74 68  03 22 01                  Width = 290 (tag 3)
  00                                             end of item
00                                               end of collection
)";

// Entries 8-10.
inline constexpr std::string_view kHexFlags = R"(
0B 43 6F 6C 75 6D 6E 43 6C 69 63 6B  08          ColumnClick = false
0D 48 69 64 65 53 65 6C 65 63 74 69 6F 6E  08    HideSelection = false
0E 48 6F 74 54 72 61 63 6B 53 74 79 6C 65 73  0B 00   HotTrackStyles = []
)";

// Entries 12-18 and the two closing zero bytes.
inline constexpr std::string_view kHexTail = R"(
08 52 65 61 64 4F 6E 6C 79  09                   ReadOnly = true
09 52 6F 77 53 65 6C 65 63 74  09                RowSelect = true
09 50 6F 70 75 70 4D 65 6E 75  07 13 4D 61 69 6E 46 6F 72 6D 2E 50 6F 70 75 70 4D 65 6E 75 31
0B 53 6D 61 6C 6C 49 6D 61 67 65 73  07 13 4D 61 69 6E 46 6F 72 6D 2E 49 6D 61 67 65 4C 69 73 74 31
0B 53 74 61 74 65 49 6D 61 67 65 73  07 13 4D 61 69 6E 46 6F 72 6D 2E 49 6D 61 67 65 4C 69 73 74 33
08 54 61 62 4F 72 64 65 72  02 02                TabOrder = 2
09 56 69 65 77 53 74 79 6C 65  07 08 76 73 52 65 70 6F 72 74   ViewStyle = ident "vsReport"
00                                               end of the properties
00                                               end of the child objects
)";

// Strips the comments: everything after the hex digits on each line.
inline std::string HexPart(std::string_view annotated) {
    std::string hex;
    size_t start = 0;
    while (start < annotated.size()) {
        size_t end = annotated.find('\n', start);
        if (end == std::string_view::npos) {
            end = annotated.size();
        }
        std::string_view line = annotated.substr(start, end - start);
        // Hex fields are pairs of hex digits separated by blanks; the comment
        // starts at the first word that is not such a pair.
        size_t i = 0;
        while (i < line.size()) {
            while (i < line.size() && line[i] == ' ') {
                ++i;
            }
            if (i + 1 < line.size() && std::isxdigit(static_cast<unsigned char>(line[i])) &&
                std::isxdigit(static_cast<unsigned char>(line[i + 1])) &&
                (i + 2 == line.size() || line[i + 2] == ' ')) {
                hex += line.substr(i, 2);
                hex += ' ';
                i += 2;
            } else {
                break;
            }
        }
        start = end + 1;
    }
    return hex;
}

inline std::string EmptyProjectBytes() {
    return FromHex(HexPart(kHexHead)) + FromHex(HexPart(kHexDefaultColumns)) +
           FromHex(HexPart(kHexFlags)) + FromHex(HexPart(kHexTail));
}

// A small project: the columns "Email" (120), "Result" (290) and "Name"
// (width 50, so not written), and two rows:
//   "a@b.c", sub-items "ok" and "Ann", icon 0, mark 0, overlay -1
//   "x@y.z", no sub-items, icon -1, mark 1, overlay -1
inline constexpr std::string_view kHexSmallColumns = R"(
07 43 6F 6C 75 6D 6E 73  0E                      Columns = collection
  01                                             item
    07 43 61 70 74 69 6F 6E  06 05 45 6D 61 69 6C  Caption = "Email"
    05 57 69 64 74 68  02 78                     Width = 120
  00
  01                                             item
    07 43 61 70 74 69 6F 6E  06 06 52 65 73 75 6C 74  Caption = "Result"
    05 57 69 64 74 68  03 22 01                  Width = 290
  00
  01                                             item
    07 43 61 70 74 69 6F 6E  06 04 4E 61 6D 65   Caption = "Name" (width 50: no entry)
  00
00
)";

inline constexpr std::string_view kHexSmallItems = R"(
0A 49 74 65 6D 73 2E 44 61 74 61  0A             Items.Data = binary
43 00 00 00                                      binary length 67
43 00 00 00                                      block size 67 = 8 + 33 + 26
02 00 00 00                                      2 items
00 00 00 00                                      item 1: image index 0
00 00 00 00                                      state index 0
FF FF FF FF                                      overlay index -1
02 00 00 00                                      2 sub-items
00 00 00 00                                      data word
05 61 40 62 2E 63                                "a@b.c"
02 6F 6B                                         "ok"
03 41 6E 6E                                      "Ann"
FF FF FF FF                                      item 2: image index -1
01 00 00 00                                      state index 1
FF FF FF FF                                      overlay index -1
00 00 00 00                                      no sub-items
00 00 00 00                                      data word
05 78 40 79 2E 7A                                "x@y.z"
)";

inline std::string SmallProjectBytes() {
    return FromHex(HexPart(kHexHead)) + FromHex(HexPart(kHexSmallColumns)) +
           FromHex(HexPart(kHexFlags)) + FromHex(HexPart(kHexSmallItems)) +
           FromHex(HexPart(kHexTail));
}

}  // namespace mv::test
