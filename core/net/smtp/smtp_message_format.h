// Texts of a transmitted message: the date of the Date header and of the
// attachment boundary, and base64 lines of attachments.
#pragma once

#include <ctime>
#include <string>
#include <string_view>

namespace mv {

// "ddd, d mmm yyyy hh:mm:ss" with English day and month names whatever the
// locale, without a zone: "Tue, 8 Dec 2026 17:45:09".
std::string FormatHeaderDate(const std::tm& local);
// "mmddyyhhnn": month, day, two-digit year, hour, minute.
std::string FormatBoundaryStamp(const std::tm& local);
std::tm LocalNow();

// Standard base64 with "=" fill; 45 bytes give one 60-character line.
std::string Base64Encode(std::string_view bytes);
inline constexpr size_t kBase64LineBytes = 45;

// Dot-stuffs and joins the lines of `text` (split at CR LF, CR or LF) with
// CR LF, so that no line of it can end the message early.
std::string DotStuffed(const std::string& text);

}  // namespace mv
