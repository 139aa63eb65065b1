#include "config_path.h"

namespace {

bool EndsWithDllExtension(const std::string& name) {
    static const char kDll[] = ".dll";
    if (name.size() < 4) return false;
    for (size_t i = 0; i < 4; ++i) {
        char c = name[name.size() - 4 + i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != kDll[i]) return false;
    }
    return true;
}

}  // namespace

std::string ConfigurationPathFor(const std::string& libraryPath) {
    const size_t slash = libraryPath.find_last_of("\\/");
    const std::string name =
        slash == std::string::npos ? libraryPath : libraryPath.substr(slash + 1);
    if (EndsWithDllExtension(name)) return libraryPath.substr(0, libraryPath.size() - 4) + ".cfg";
    return libraryPath + ".cfg";
}
