// A set of names read from a list file (domains or local parts), built once
// and then only asked. The names are views into the file's text, which the
// set owns, found through an open-addressing table: loading a list of a
// hundred thousand names takes one allocation for the text and one for the
// table, and a question allocates nothing.
#pragma once

#include <cstddef>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

namespace mv {

class NameSet {
  public:
    // One name per line of `text`. Blanks around a name are ignored, and so
    // are empty lines and lines that begin with "#". Names are kept in lower
    // case. A line "*.NAME" stands for every name below NAME (a wildcard).
    // `convert` turns a name with non-ASCII characters into the form it is
    // asked in (for domains: the ASCII form, in lower case); a name it
    // turns into "" is left out.
    template <typename Convert>
    void Assign(std::string text, Convert convert);
    void Assign(std::string text) {
        Assign(std::move(text), [](std::string_view name) { return std::string(name); });
    }

    // `name` must be in lower case. True when it is in the set, or lies
    // below a wildcard's name.
    bool Contains(std::string_view name) const;
    size_t Size() const { return names_.size; }

  private:
    struct Table {
        // A power of two; empty: free. (Not "slots": the window's Qt headers
        // take that word.)
        std::vector<std::string_view> cells;
        size_t size = 0;
        void Insert(std::string_view name);
        bool Contains(std::string_view name) const;
    };
    // Cuts the text into lines and lowers it in place; returns the names.
    std::vector<std::string_view> Lines();
    void Build(const std::vector<std::string_view>& names);

    std::string text_;
    std::deque<std::string> converted_;  // names that are not views of text_
    Table names_;
    Table wildcards_;  // the names below which everything is in the set
};

template <typename Convert>
void NameSet::Assign(std::string text, Convert convert) {
    text_ = std::move(text);
    converted_.clear();
    std::vector<std::string_view> names = Lines();
    for (std::string_view& name : names) {
        bool ascii = true;
        for (char c : name)
            ascii = ascii && static_cast<unsigned char>(c) < 0x80;
        if (ascii) continue;
        converted_.push_back(convert(name));
        name = converted_.back();
    }
    Build(names);
}

}  // namespace mv
