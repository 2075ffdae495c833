#include "project/stream/project_stream_properties.h"

#include <algorithm>
#include <string>

#include "project/stream/project_stream.h"
#include "project/stream/project_stream_format.h"

namespace mv::project_stream {

bool SameText(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        const auto lower = [](char c) {
            return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
        };
        return lower(x) == lower(y);
    });
}

const Property& Resolve(std::span<const Property> table, std::string_view path) {
    const Property* current = nullptr;
    for (;;) {
        const size_t dot = path.find('.');
        const std::string_view part = path.substr(0, dot);
        if (current) {
            if (current->kind != Kind::Object && current->kind != Kind::Collection) {
                throw EReadError(std::string(kInvalidPropertyPath));
            }
            table = current->members;
        }
        const auto it = std::find_if(table.begin(), table.end(),
                                     [&](const Property& p) { return SameText(p.name, part); });
        if (it == table.end()) {
            throw EReadError(std::string(kPropertyDoesNotExist));
        }
        current = &*it;
        if (dot == std::string_view::npos) {
            return *current;
        }
        path.remove_prefix(dot + 1);
    }
}

}  // namespace mv::project_stream
