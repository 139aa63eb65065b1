#include "path_split.h"

std::string SplitFileName(const std::string& path) {
    size_t start = 0;
    if (path.size() >= 2 && path[1] == ':') start = 2;
    const size_t separator = path.find_last_of("\\/");
    if (separator != std::string::npos && separator + 1 > start) start = separator + 1;
    std::string rest = path.substr(start);
    const size_t dot = rest.rfind('.');
    if (dot != std::string::npos) rest.resize(dot);
    return rest;
}

std::string ExtensionText(const std::string& path) {
    const size_t separator = path.rfind('\\');
    std::string name = separator == std::string::npos ? path : path.substr(separator + 1);
    const size_t dot = name.find('.');
    if (!name.empty() && dot != std::string::npos) name.erase(0, dot + 1);
    return name;
}
