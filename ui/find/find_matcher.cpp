#include "find/find_matcher.h"

#include <algorithm>

#include "project/list/recipient_list.h"

namespace mv::ui {

namespace {

bool IsAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

QString Text(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

FindMatcher::FindMatcher(const QString& text, bool matchCase, const QLocale& locale)
    : matchCase_(matchCase),
      locale_(locale),
      plainAscii_(locale.toUpper(QStringLiteral("abcdefghijklmnopqrstuvwxyz")) ==
                  QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZ")),
      upperText_(matchCase ? text : locale.toUpper(text)),
      needle_(upperText_.toStdString()) {}

bool FindMatcher::Matches(const RecipientList& list, size_t row) const {
    if (Contains(list.Caption(row))) return true;
    // Sub-item 0 is the Result text: never searched.
    const size_t count = list.SubItemCount(row);
    for (size_t index = 1; index < count; ++index) {
        if (Contains(list.SubItem(row, index))) return true;
    }
    return false;
}

bool FindMatcher::Contains(std::string_view text) const {
    if (matchCase_) return text.find(needle_) != std::string_view::npos;
    if (plainAscii_ && IsAscii(text)) {
        // Upper-casing keeps the length of ASCII text: too short cannot match.
        if (text.size() < needle_.size()) return false;
        scratch_.assign(text);
        for (char& c : scratch_) {
            if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        }
        return scratch_.find(needle_) != std::string::npos;
    }
    return locale_.toUpper(Text(text)).contains(upperText_);
}

}  // namespace mv::ui
