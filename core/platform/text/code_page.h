// The two single-byte code pages of the program's files. Text inside the
// program is UTF-8; "ANSI" is Windows-1252 (project files, text imports that
// are not valid UTF-8) and "OEM" is code page 437 (dBase data and memos).
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <unordered_map>

namespace mv {

class CodePage {
  public:
    static const CodePage& Ansi();
    static const CodePage& Oem();

    // Bytes of this code page -> UTF-8.
    std::string ToUtf8(std::string_view bytes) const;
    // UTF-8 -> bytes of this code page; a character without a place in it
    // (or a malformed UTF-8 sequence) becomes "?".
    std::string FromUtf8(std::string_view utf8) const;

  private:
    explicit CodePage(const char* iconvName);
    std::array<char32_t, 256> toUnicode_{};
    std::unordered_map<char32_t, unsigned char> fromUnicode_;
};

bool IsValidUtf8(std::string_view text);

// `bytes` as UTF-8: unchanged when they are valid UTF-8, otherwise read as
// Windows-1252 (as text imports are read).
std::string Utf8OrAnsiToUtf8(std::string_view bytes);

// Appends the UTF-8 form of `cp` to `out`.
void AppendUtf8(std::string& out, char32_t cp);
// Decodes one UTF-8 sequence at `pos`; returns U+FFFD and advances by one byte
// on a malformed sequence.
char32_t DecodeUtf8(std::string_view text, size_t& pos);

}  // namespace mv
