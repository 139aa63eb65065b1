#include "win32/paths.h"

#include <shlobj.h>

// The image base of the module being linked: every library and program that links this
// layer gets its own.
extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace kvwin {

namespace {

// The longest path GetModuleFileName can give.
constexpr size_t kLongestPath = 32768;

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

HMODULE ThisModule() {
    return reinterpret_cast<HMODULE>(&__ImageBase);
}

std::string ModulePath(HMODULE module) {
    std::string path(MAX_PATH, '\0');
    for (;;) {
        const DWORD length = GetModuleFileNameA(module, &path[0], static_cast<DWORD>(path.size()));
        if (length == 0) return "";
        // A cut path fills the buffer exactly: ask again with more room.
        if (length < path.size()) return path.substr(0, length);
        if (path.size() >= kLongestPath) return "";
        path.resize(path.size() * 2);
    }
}

std::string ModuleFolder(HMODULE module) {
    return FolderOf(ModulePath(module));
}

std::string FolderOf(const std::string& path) {
    const size_t slash = LastBackslash(path);
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string FileNameOf(const std::string& path) {
    const size_t slash = LastBackslash(path);
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string CommonFilesFolder() {
    char folder[MAX_PATH + 1] = {};
    if (!SHGetSpecialFolderPathA(nullptr, folder, CSIDL_PROGRAM_FILES_COMMON, TRUE)) return "";
    std::string text(folder);
    while (!text.empty() && text.back() == '\\') text.pop_back();
    return text;
}

std::string RosterPath() {
    const std::string common = CommonFilesFolder();
    if (common.empty()) return "";
    return common + "\\" + kSuiteBaseFolder + "\\" + kRosterFileName;
}

std::string InstallPath(const std::string& roster, const char* section, const char* fallback) {
    char value[kInstallPathSize] = {};
    GetPrivateProfileStringA(section, kInstallPathKey, fallback, value, sizeof value,
                             roster.c_str());
    return value;
}

}  // namespace kvwin
