#include "scratch_dir_win.h"

#include <windows.h>

#include "program_folder_win.h"
#include "whole_file_win.h"
#include "win32/handles.h"

namespace kvtest {

namespace {

std::wstring Wide(const std::string& ansi) {
    std::wstring wide(ansi.size(), L'\0');
    const int length = MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()),
                                           &wide[0], static_cast<int>(wide.size()));
    wide.resize(length > 0 ? static_cast<size_t>(length) : 0);
    return wide;
}

// Makes `path` and every folder above it that is missing.
void MakeFolders(const std::string& path) {
    for (size_t at = path.find('\\', 3);; at = path.find('\\', at + 1)) {
        CreateDirectoryA(path.substr(0, at).c_str(), nullptr);
        if (at == std::string::npos) return;
    }
}

std::string TempFolder() {
    char temp[MAX_PATH] = {};
    const DWORD length = GetTempPathA(MAX_PATH, temp);
    std::string folder(temp, length < MAX_PATH ? length : 0);
    if (!folder.empty() && folder.back() == '\\') folder.pop_back();
    return folder;
}

}  // namespace

ScratchDir::ScratchDir(const std::string& prefix, const std::string& parent) {
    std::string base = parent;
    if (base.empty()) {
        base = TempFolder();
    } else {
        MakeFolders(base);
    }
    // Wine hands out the same few process ids run after run: a folder that a crashed run
    // left behind makes the next number be tried.
    static unsigned counter = 0;
    for (unsigned attempt = 0; attempt < 1000 && path_.empty(); ++attempt) {
        const std::string candidate = base + "\\" + prefix + std::to_string(GetCurrentProcessId()) +
                                      "_" + std::to_string(counter++);
        if (CreateDirectoryA(candidate.c_str(), nullptr)) path_ = candidate;
    }
}

ScratchDir::~ScratchDir() {
    if (!path_.empty()) RemoveTree(path_);
}

std::wstring ScratchDir::widePath() const {
    return Wide(path_);
}

std::string ScratchDir::Write(const std::string& name, const std::string& bytes) const {
    const std::string file = *this / name;
    return WriteWholeFile(file, bytes) ? file : "";
}

std::string ScratchDir::Write(const std::string& name, const std::vector<uint8_t>& bytes) const {
    const std::string file = *this / name;
    return WriteWholeFile(file, bytes) ? file : "";
}

std::string ScratchDir::Read(const std::string& name) const {
    return ReadWholeFile(*this / name);
}

std::vector<std::string> ScratchDir::Names() const {
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    const UniqueFind search(FindFirstFileA((path_ + "\\*").c_str(), &found));
    if (!search) return names;
    do {
        const std::string name = found.cFileName;
        if (name != "." && name != "..") names.push_back(name);
    } while (FindNextFileA(search.get(), &found));
    return names;
}

bool ScratchDir::CopyBuilt(const std::string& name, const std::string& as) const {
    return CopyFileA(BesideProgram(name).c_str(), (*this / (as.empty() ? name : as)).c_str(),
                     FALSE) != FALSE;
}

void RemoveTree(const std::string& path) {
    RemoveTree(Wide(path));
}

void RemoveTree(const std::wstring& path) {
    WIN32_FIND_DATAW found;
    if (const UniqueFind search{FindFirstFileW((path + L"\\*").c_str(), &found)}) {
        do {
            const std::wstring name = found.cFileName;
            if (name == L"." || name == L"..") continue;
            const std::wstring child = path + L"\\" + name;
            const DWORD attributes = found.dwFileAttributes;
            if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
                // Some tests make their files read-only, which DeleteFile refuses.
                if (attributes & FILE_ATTRIBUTE_READONLY)
                    SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileW(child.c_str());
            } else if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
                RemoveDirectoryW(child.c_str());
            } else {
                RemoveTree(child);
            }
        } while (FindNextFileW(search.get(), &found));
    }
    RemoveDirectoryW(path.c_str());
}

}  // namespace kvtest
