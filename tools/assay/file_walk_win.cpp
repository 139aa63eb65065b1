#include "file_walk_win.h"

#include <windows.h>

#include <algorithm>
#include <vector>

#include "text_win.h"

namespace {

struct FindCloser {
    HANDLE find;
    ~FindCloser() { FindClose(find); }
};

bool IsDirectory(DWORD attributes) {
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

std::wstring Join(const std::wstring& directory, const std::wstring& name) {
    if (!directory.empty() && (directory.back() == L'\\' || directory.back() == L'/')) {
        return directory + name;
    }
    return directory + L'\\' + name;
}

void WalkDirectory(const std::wstring& directory, const WalkVisitor& visitor) {
    struct Entry {
        std::wstring name;
        DWORD attributes;
    };
    std::vector<Entry> entries;
    {
        WIN32_FIND_DATAW found;
        HANDLE find = FindFirstFileW(Join(directory, L"*").c_str(), &found);
        if (find == INVALID_HANDLE_VALUE) {
            const DWORD error = GetLastError();
            // An empty directory may answer "no more files" instead of listing . and ..
            if (error != ERROR_FILE_NOT_FOUND && error != ERROR_NO_MORE_FILES) {
                visitor.failure(directory, "cannot list: " + ErrorText(error));
            }
            return;
        }
        FindCloser closer{find};
        do {
            const std::wstring name = found.cFileName;
            if (name == L"." || name == L"..") continue;
            entries.push_back({name, found.dwFileAttributes});
        } while (FindNextFileW(find, &found));
    }
    std::sort(entries.begin(), entries.end(),
              [](const Entry& a, const Entry& b) { return a.name < b.name; });
    for (const Entry& entry : entries) {
        const std::wstring path = Join(directory, entry.name);
        if (!IsDirectory(entry.attributes)) {
            visitor.file(path);
        } else if ((entry.attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
            // Linked directories are left alone: they may lead back up the tree.
            WalkDirectory(path, visitor);
        }
    }
}

}  // namespace

void WalkPath(const std::wstring& path, const WalkVisitor& visitor) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        visitor.failure(path, "cannot open: " + ErrorText(GetLastError()));
        return;
    }
    if (IsDirectory(attributes)) {
        WalkDirectory(path, visitor);
    } else {
        visitor.file(path);
    }
}
