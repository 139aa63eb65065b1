#include "file_walk_win.h"

#include <algorithm>

#include "text_win.h"
#include "win32/handles.h"

namespace {

bool IsDirectory(DWORD attributes) {
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

std::wstring Join(const std::wstring& directory, const std::wstring& name) {
    if (!directory.empty() && (directory.back() == L'\\' || directory.back() == L'/')) {
        return directory + name;
    }
    return directory + L'\\' + name;
}

}  // namespace

FileWalk::FileWalk(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        ready_.push_back({path, true, "cannot open: " + ErrorText(GetLastError())});
    } else if (IsDirectory(attributes)) {
        Enter(path);
    } else {
        ready_.push_back({path, false, std::string()});
    }
}

void FileWalk::Enter(const std::wstring& directory) {
    Level level;
    level.directory = directory;
    WIN32_FIND_DATAW found;
    const UniqueFind find(FindFirstFileW(Join(directory, L"*").c_str(), &found));
    if (!find) {
        const DWORD error = GetLastError();
        // An empty directory may answer "no more files" instead of listing . and ..
        if (error != ERROR_FILE_NOT_FOUND && error != ERROR_NO_MORE_FILES) {
            ready_.push_back({directory, true, "cannot list: " + ErrorText(error)});
        }
        return;
    }
    do {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..") continue;
        level.entries.emplace_back(name, found.dwFileAttributes);
    } while (FindNextFileW(find.get(), &found));
    std::sort(level.entries.begin(), level.entries.end());
    levels_.push_back(std::move(level));
}

bool FileWalk::Next(WalkEntry* entry) {
    for (;;) {
        if (!ready_.empty()) {
            *entry = std::move(ready_.front());
            ready_.erase(ready_.begin());
            return true;
        }
        if (levels_.empty()) return false;
        Level& level = levels_.back();
        if (level.next == level.entries.size()) {
            levels_.pop_back();
            continue;
        }
        const auto& found = level.entries[level.next++];
        const std::wstring path = Join(level.directory, found.first);
        if (!IsDirectory(found.second)) {
            *entry = {path, false, std::string()};
            return true;
        }
        // Linked directories are left alone: they may lead back up the tree.
        if ((found.second & FILE_ATTRIBUTE_REPARSE_POINT) == 0) Enter(path);
    }
}
