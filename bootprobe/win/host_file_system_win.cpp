#include "host_file_system_win.h"

#include "win32/files.h"
#include "win32/handles.h"
#include "win32/paths.h"

namespace {

class FileSource final : public ByteSource {
public:
    explicit FileSource(UniqueFile file) : file_(std::move(file)) {}
    size_t Read(char* buffer, size_t capacity) override {
        DWORD read = 0;
        const DWORD ask = capacity < MAXDWORD ? static_cast<DWORD>(capacity) : MAXDWORD;
        if (!ReadFile(file_.get(), buffer, ask, &read, nullptr)) return 0;
        return read;
    }

private:
    UniqueFile file_;
};

}  // namespace

Win32HostFileSystem::Win32HostFileSystem() {
    errorModeSet_ = SetThreadErrorMode(SEM_FAILCRITICALERRORS, &previousErrorMode_) != FALSE;
}

Win32HostFileSystem::~Win32HostFileSystem() {
    if (errorModeSet_) SetThreadErrorMode(previousErrorMode_, nullptr);
}

bool Win32HostFileSystem::SystemDirectory(std::string* out) {
    // The running program's path is read first, as a check that the process can tell
    // where it runs from at all. It may be longer than MAX_PATH: the read grows its
    // buffer, so a program in a deep folder is not taken for one that cannot tell.
    if (kvwin::ModulePath(nullptr).empty()) return false;
    char work[MAX_PATH] = {};
    const UINT length = GetSystemDirectoryA(work, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return false;
    out->assign(work, length);
    return true;
}

bool Win32HostFileSystem::IsFile(const std::string& path) {
    return kvwin::FileExists(path);
}

std::unique_ptr<ByteSource> Win32HostFileSystem::OpenRead(const std::string& path) {
    UniqueFile file(CreateFileA(path.c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE,  // editors may have it open
                                nullptr,                             // default security
                                OPEN_EXISTING,                       // never create
                                FILE_ATTRIBUTE_NORMAL,               // plain sequential read
                                nullptr));                           // no template
    if (!file) return nullptr;
    return std::make_unique<FileSource>(std::move(file));
}

bool Win32HostFileSystem::List(const std::string& pattern, const Visit& visit) {
    WIN32_FIND_DATAA entry = {};
    UniqueFind find(FindFirstFileA(pattern.c_str(), &entry));
    if (!find) return false;
    do {
        const DirectoryEntry item{entry.cFileName,
                                  (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0};
        if (!visit(item)) break;
    } while (FindNextFileA(find.get(), &entry));
    return true;
}
