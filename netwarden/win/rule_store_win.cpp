#include "rule_store_win.h"

#include <windows.h>

#include <algorithm>

#include "win32/handles.h"

bool FileExists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool ReadFileBytes(const std::string& path, size_t limit, std::vector<uint8_t>* bytes) {
    bytes->clear();
    UniqueFile file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    LARGE_INTEGER size = {};
    if (!GetFileSizeEx(file.get(), &size) || size.QuadPart < 0) return true;
    bytes->resize(static_cast<size_t>(std::min<ULONGLONG>(size.QuadPart, limit)));
    size_t done = 0;
    while (done < bytes->size()) {
        DWORD got = 0;
        const DWORD ask = static_cast<DWORD>(std::min<size_t>(bytes->size() - done, 1u << 20));
        if (!ReadFile(file.get(), bytes->data() + done, ask, &got, nullptr) || got == 0) break;
        done += got;
    }
    bytes->resize(done);
    return true;
}

namespace {

bool WriteAll(HANDLE file, const std::vector<uint8_t>& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        DWORD written = 0;
        const DWORD ask = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 20));
        if (!WriteFile(file, bytes.data() + done, ask, &written, nullptr) || written == 0)
            return false;
        done += written;
    }
    return FlushFileBuffers(file) != FALSE;
}

}  // namespace

bool ReplaceFileBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    if (path.empty()) return false;
    const std::string temporary = path + ".tmp";
    UniqueFile file(CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    bool ok = WriteAll(file.get(), bytes);
    ok = CloseHandle(file.release()) && ok;
    ok = ok && MoveFileExA(temporary.c_str(), path.c_str(),
                           MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    if (!ok) DeleteFileA(temporary.c_str());
    return ok;
}
