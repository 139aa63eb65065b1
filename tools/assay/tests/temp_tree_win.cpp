#include "temp_tree_win.h"

#include <string>

namespace {

void RemoveTree(const std::wstring& directory) {
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW((directory + L"\\*").c_str(), &found);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = found.cFileName;
            if (name == L"." || name == L"..") continue;
            const std::wstring path = directory + L"\\" + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(path);
            } else {
                DeleteFileW(path.c_str());
            }
        } while (FindNextFileW(find, &found));
        FindClose(find);
    }
    RemoveDirectoryW(directory.c_str());
}

}  // namespace

TempTree::TempTree() {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    root_ = std::wstring(temp) + L"assay-test-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
            std::to_wstring(GetTickCount());
    CreateDirectoryW(root_.c_str(), nullptr);
}

TempTree::~TempTree() {
    RemoveTree(root_);
}

bool TempTree::MakeDirectory(const std::wstring& relative) const {
    return CreateDirectoryW(Path(relative).c_str(), nullptr) != 0;
}

bool TempTree::WriteFile(const std::wstring& relative, const std::string& bytes) const {
    HANDLE file = CreateFileW(Path(relative).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const BOOL ok =
        ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    return ok && written == bytes.size();
}
