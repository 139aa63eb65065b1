#include "autorun_system_win.h"

#include <mbstring.h>
#include <shlobj.h>

#include <cstring>
#include <vector>

#include "autorun_command.h"
#include "win32/handles.h"

namespace {

constexpr const char kRunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr const char kRunOnceKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
// Value names are at most 16383 characters.
constexpr DWORD kMaxValueName = 16384;

// The value's text with environment strings expanded; false when it is no
// usable text.
bool ExpandedText(const std::vector<char>& data, DWORD size, std::string* text) {
    // The data need not end in a terminator; take it up to the first one.
    std::string raw(data.data(), strnlen(data.data(), size));
    if (raw.find('%') == std::string::npos) {
        *text = raw;
        return true;
    }
    std::vector<char> expanded(kMaxAutorunValueBytes + 1);
    const DWORD needed = ExpandEnvironmentStringsA(raw.c_str(), expanded.data(),
                                                   static_cast<DWORD>(expanded.size()));
    // 0 is failure; more than the buffer means the expansion did not fit.
    if (needed == 0 || needed > expanded.size()) return false;
    *text = expanded.data();
    return true;
}

}  // namespace

bool CSystemAutorun::ReadRunKey(HKEY root, const char* subKey, std::vector<std::string>* paths) {
    HKEY opened = nullptr;
    if (RegOpenKeyExA(root, subKey, 0, KEY_QUERY_VALUE, &opened) != ERROR_SUCCESS) return false;
    UniqueKey key(opened);

    std::vector<char> name(kMaxValueName);
    std::vector<char> data(kMaxAutorunValueBytes + 1);
    for (DWORD index = 0; index < kMaxAutorunEntriesPerPlace; ++index) {
        DWORD nameLength = kMaxValueName;
        DWORD type = 0;
        DWORD size = kMaxAutorunValueBytes;
        const LONG result = RegEnumValueA(key.get(), index, name.data(), &nameLength, nullptr,
                                          &type, reinterpret_cast<BYTE*>(data.data()), &size);
        if (result == ERROR_NO_MORE_ITEMS) break;
        // A value too long for the bounds is skipped; the next ones are still read.
        if (result != ERROR_SUCCESS) continue;
        if (type != REG_SZ && type != REG_EXPAND_SZ) continue;
        if (size > kMaxAutorunValueBytes) continue;
        data[size] = '\0';
        std::string command;
        if (!ExpandedText(data, size, &command)) continue;
        std::string path = ExecutablePathOfCommand(command);
        if (!path.empty()) paths->push_back(std::move(path));
    }
    return true;
}

bool CSystemAutorun::ReadFolder(const std::string& folder, std::vector<std::string>* paths) {
    WIN32_FIND_DATAA found = {};
    const std::string pattern = folder + "\\*";
    UniqueFind search(FindFirstFileA(pattern.c_str(), &found));
    if (!search) return false;

    DWORD seen = 0;
    do {
        if (++seen > kMaxAutorunEntriesPerPlace) break;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        paths->push_back(folder + "\\" + found.cFileName);
    } while (FindNextFileA(search.get(), &found));
    return true;
}

bool CSystemAutorun::ReadAutorunPaths(std::vector<std::string>* paths) {
    bool any = false;
    const HKEY roots[] = {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER};
    for (HKEY root : roots) {
        any |= ReadRunKey(root, kRunKey, paths);
        any |= ReadRunKey(root, kRunOnceKey, paths);
    }
    const int folders[] = {CSIDL_STARTUP, CSIDL_COMMON_STARTUP};
    for (int folder : folders) {
        char directory[MAX_PATH] = {};
        if (SHGetFolderPathA(nullptr, folder, nullptr, SHGFP_TYPE_CURRENT, directory) != S_OK)
            continue;
        any |= ReadFolder(directory, paths);
    }
    return any;
}

bool CSystemAutorun::SameTextIgnoringCase(const std::string& left, const std::string& right) {
    return _mbsicmp(reinterpret_cast<const unsigned char*>(left.c_str()),
                    reinterpret_cast<const unsigned char*>(right.c_str())) == 0;
}
