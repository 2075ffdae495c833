// Whether a recipient row matches the find text (MatchesFind): the text
// occurs in the row's address or in one of its extra columns; the Result text
// is never searched. Without "Match case" both sides are upper-cased by the
// user's locale first.
//
// A million rows are searched in well under a second: the find text is
// prepared once, the row's texts are searched in place as UTF-8, and
// upper-casing goes through Qt only for texts that are not plain ASCII (or in
// a locale whose upper case of ASCII letters is not the plain one, such as
// Turkish).
#pragma once

#include <QLocale>
#include <QString>
#include <string>
#include <string_view>

namespace mv {
class RecipientList;
}

namespace mv::ui {

class FindMatcher {
  public:
    FindMatcher(const QString& text, bool matchCase, const QLocale& locale = QLocale());

    bool Matches(const RecipientList& list, size_t row) const;

  private:
    bool Contains(std::string_view text) const;

    bool matchCase_;
    QLocale locale_;
    bool plainAscii_;     // the locale upper-cases ASCII letters to ASCII letters
    QString upperText_;   // the find text upper-cased, without "Match case"
    std::string needle_;  // what is searched for in UTF-8
    mutable std::string scratch_;
};

}  // namespace mv::ui
