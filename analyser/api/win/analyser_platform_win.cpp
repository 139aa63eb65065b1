#include "analyser_platform_win.h"

#include <windows.h>

#include <shlobj.h>

#include "feature_environment_win.h"
#include "image_file_win.h"

namespace {

constexpr UINT kDirectoryBufferSize = 260;
constexpr int kProgramFilesFolder = 38;  // CSIDL_PROGRAM_FILES

// A shell item list, freed through the shell's allocator.
class UniqueItemList {
public:
    UniqueItemList() = default;
    ~UniqueItemList();
    UniqueItemList(const UniqueItemList&) = delete;
    UniqueItemList& operator=(const UniqueItemList&) = delete;
    void** out() { return &list_; }
    void* get() const { return list_; }

private:
    void* list_ = nullptr;
};

UniqueItemList::~UniqueItemList() {
    if (list_ == nullptr) return;
    IMalloc* allocator = nullptr;
    if (SUCCEEDED(SHGetMalloc(&allocator)) && allocator != nullptr) {
        allocator->Free(list_);
        allocator->Release();
    }
}

std::string DirectoryText(UINT(WINAPI* query)(LPSTR, UINT)) {
    char buffer[kDirectoryBufferSize] = {};
    const UINT length = query(buffer, kDirectoryBufferSize);
    if (length == 0 || length >= kDirectoryBufferSize) return "";
    return MultiByteLower(std::string(buffer, length));
}

std::string ProgramFilesText() {
    UniqueItemList list;
    if (FAILED(SHGetSpecialFolderLocation(nullptr, kProgramFilesFolder,
                                          reinterpret_cast<LPITEMIDLIST*>(list.out())))) {
        return "";
    }
    char buffer[kDirectoryBufferSize] = {};
    if (!SHGetPathFromIDListA(static_cast<LPCITEMIDLIST>(list.get()), buffer)) return "";
    return MultiByteLower(buffer);
}

}  // namespace


uint16_t CSystemAnalyserPlatform::ClassifyImageFile(const char* path) {
    return ::ClassifyImageFile(path);
}

std::string CSystemAnalyserPlatform::FoldCase(const std::string& text) {
    return MultiByteLower(text);
}

AnalyserDirectories ReadAnalyserDirectories() {
    AnalyserDirectories directories;
    directories.windowsDir = DirectoryText(GetWindowsDirectoryA);
    directories.systemDir = DirectoryText(GetSystemDirectoryA);
    directories.programFilesDir = ProgramFilesText();
    return directories;
}
