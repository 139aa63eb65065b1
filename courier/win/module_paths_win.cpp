#include "module_paths_win.h"

#include <shlobj.h>

namespace {

HINSTANCE g_module = nullptr;

// The position of the last backslash that is a character of its own, or npos.
size_t LastBackslash(const std::string& path) {
    size_t last = std::string::npos;
    for (size_t i = 0; i < path.size(); ++i) {
        if (IsDBCSLeadByte(static_cast<BYTE>(path[i])) && i + 1 < path.size()) {
            ++i;
            continue;
        }
        if (path[i] == '\\') last = i;
    }
    return last;
}

}  // namespace

HINSTANCE CourierModule() {
    return g_module;
}

void SetCourierModule(HINSTANCE module) {
    g_module = module;
}

std::string CourierDirectory() {
    char path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameA(g_module, path, MAX_PATH);
    const std::string full(path, length < MAX_PATH ? length : 0);
    const size_t slash = LastBackslash(full);
    return slash == std::string::npos ? std::string() : full.substr(0, slash + 1);
}

std::string ModulesDirectory() {
    char common[MAX_PATH] = {};
    if (!SHGetSpecialFolderPathA(nullptr, common, CSIDL_PROGRAM_FILES_COMMON, TRUE)) return {};
    const std::string roster = std::string(common) + "\\Kavro labs\\base\\Roster.ini";
    char folder[MAX_PATH] = {};
    GetPrivateProfileStringA("Addins", "Install Path", "C:\\Program Files\\Kavro Labs\\Addins",
                             folder, MAX_PATH, roster.c_str());
    return folder;
}

std::string FileNameOf(const std::string& path) {
    const size_t slash = LastBackslash(path);
    return slash == std::string::npos ? path : path.substr(slash + 1);
}
