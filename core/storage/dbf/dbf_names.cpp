#include "storage/dbf/dbf_names.h"

#include <unistd.h>

#include <cctype>

namespace mv::dbf {

namespace {

// Position of the dot that starts the extension, or npos.
std::size_t ExtensionDot(std::string_view name) {
    const std::size_t slash = name.find_last_of('/');
    const std::size_t dot = name.find_last_of('.');
    if (dot == std::string_view::npos) {
        return dot;
    }
    if (slash != std::string_view::npos && dot < slash) {
        return std::string_view::npos;
    }
    return dot;
}

bool Exists(const std::string& path) {
    return ::access(path.c_str(), F_OK) == 0;
}

}  // namespace

std::string TrimBlanks(std::string_view text) {
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && static_cast<unsigned char>(text[begin]) <= ' ') {
        ++begin;
    }
    while (end > begin && static_cast<unsigned char>(text[end - 1]) <= ' ') {
        --end;
    }
    return std::string(text.substr(begin, end - begin));
}

std::string DefaultExtension(std::string_view name, std::string_view extension) {
    std::string result(name);
    if (!result.empty() && ExtensionDot(name) == std::string_view::npos) {
        result += '.';
        result += extension;
    }
    return result;
}

std::string ChangeExtension(std::string_view name, std::string_view extension) {
    const std::size_t dot = ExtensionDot(name);
    std::string result(name.substr(0, dot));
    result += '.';
    result += extension;
    return result;
}

std::string DiskPath(std::string_view name) {
    std::string path(name);
    const std::size_t slash = path.find_last_of('/');
    const std::size_t start = slash == std::string::npos ? 0 : slash + 1;
    std::size_t end = path.size();
    while (end > start && path[end - 1] == '.') {
        --end;
    }
    // "." and ".." stay what they are.
    if (end > start) {
        path.erase(end);
    }
    return path;
}

std::string MemoFileName(std::string_view tableName) {
    const std::size_t dot = ExtensionDot(tableName);
    bool lower = false;
    if (dot != std::string_view::npos && dot + 1 < tableName.size()) {
        lower = std::islower(static_cast<unsigned char>(tableName[dot + 1])) != 0;
    }
    std::string first = ChangeExtension(tableName, lower ? "dbt" : "DBT");
    std::string second = ChangeExtension(tableName, lower ? "DBT" : "dbt");
    if (!Exists(DiskPath(first)) && Exists(DiskPath(second))) {
        return second;
    }
    return first;
}

}  // namespace mv::dbf
