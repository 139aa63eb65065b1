#include "analyser_platform_win.h"

#include <windows.h>

#include <shlobj.h>

#include "feature_environment_win.h"
#include "image_file_win.h"
#include "win32/handles.h"

namespace {

constexpr UINT kDirectoryBufferSize = 260;
constexpr int kProgramFilesFolder = 38;  // CSIDL_PROGRAM_FILES

std::string DirectoryText(UINT(WINAPI* query)(LPSTR, UINT)) {
    char buffer[kDirectoryBufferSize] = {};
    const UINT length = query(buffer, kDirectoryBufferSize);
    if (length == 0 || length >= kDirectoryBufferSize) return "";
    return MultiByteLower(std::string(buffer, length));
}

std::string ProgramFilesText() {
    LPITEMIDLIST found = nullptr;
    const HRESULT result = SHGetSpecialFolderLocation(nullptr, kProgramFilesFolder, &found);
    const UniqueItemList list(found);
    if (FAILED(result)) return "";
    char buffer[kDirectoryBufferSize] = {};
    if (!SHGetPathFromIDListA(list.get(), buffer)) return "";
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
