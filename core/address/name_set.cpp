#include "address/name_set.h"

#include <bit>
#include <functional>

namespace mv {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r';
}

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace

void NameSet::Table::Insert(std::string_view name) {
    const size_t mask = cells.size() - 1;
    for (size_t i = std::hash<std::string_view>{}(name)&mask;; i = (i + 1) & mask) {
        if (cells[i].empty()) {
            cells[i] = name;
            ++size;
            return;
        }
        if (cells[i] == name) return;
    }
}

bool NameSet::Table::Contains(std::string_view name) const {
    if (cells.empty() || name.empty()) return false;
    const size_t mask = cells.size() - 1;
    for (size_t i = std::hash<std::string_view>{}(name)&mask;; i = (i + 1) & mask) {
        if (cells[i].empty()) return false;
        if (cells[i] == name) return true;
    }
}

std::vector<std::string_view> NameSet::Lines() {
    std::vector<std::string_view> names;
    for (char& c : text_)
        c = Lower(c);
    const std::string_view text = text_;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(start, end - start);
        while (!line.empty() && IsBlank(line.front()))
            line.remove_prefix(1);
        while (!line.empty() && IsBlank(line.back()))
            line.remove_suffix(1);
        if (!line.empty() && line.front() != '#') names.push_back(line);
        start = end + 1;
    }
    return names;
}

void NameSet::Build(const std::vector<std::string_view>& names) {
    size_t wildcards = 0;
    for (std::string_view name : names)
        wildcards += name.size() > 2 && name.substr(0, 2) == "*." ? 1 : 0;
    // At most half full, so that a miss ends after a few slots.
    const auto sized = [](size_t n) { return std::bit_ceil(2 * n + 2); };
    names_ = Table{std::vector<std::string_view>(sized(names.size() - wildcards)), 0};
    wildcards_ = Table{std::vector<std::string_view>(sized(wildcards)), 0};
    for (std::string_view name : names) {
        if (name.empty()) continue;
        if (name.size() > 2 && name.substr(0, 2) == "*.")
            wildcards_.Insert(name.substr(2));
        else
            names_.Insert(name);
    }
}

bool NameSet::Contains(std::string_view name) const {
    if (names_.Contains(name)) return true;
    if (wildcards_.size == 0) return false;
    for (size_t dot = name.find('.'); dot != std::string_view::npos; dot = name.find('.', dot + 1))
        if (wildcards_.Contains(name.substr(dot + 1))) return true;
    return false;
}

}  // namespace mv
