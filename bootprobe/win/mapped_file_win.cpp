#include "mapped_file_win.h"

#include <cstddef>
#include <limits>

DWORD LibraryShareMode() {
    static const DWORD mode = [] {
        const DWORD shareReadWrite = FILE_SHARE_READ | FILE_SHARE_WRITE;
        return (GetVersion() & 0x80000000u) == 0 ? shareReadWrite | FILE_SHARE_DELETE
                                                 : shareReadWrite;
    }();
    return mode;
}

bool MappedFile::Open(const char* path) {
    file_.reset(CreateFileA(path, GENERIC_READ, LibraryShareMode(),
                            nullptr,                // default security
                            OPEN_EXISTING,          // never create
                            FILE_ATTRIBUTE_NORMAL,  // no special access pattern
                            nullptr));              // no template
    if (!file_) return false;
    LARGE_INTEGER size = {};
    if (!GetFileSizeEx(file_.get(), &size) || size.QuadPart <= 0) return false;
    if (static_cast<uint64_t>(size.QuadPart) > std::numeric_limits<size_t>::max()) return false;
    mapping_.reset(CreateFileMappingA(file_.get(), nullptr, PAGE_READONLY, 0, 0, nullptr));
    if (!mapping_) return false;
    view_.reset(MapViewOfFile(mapping_.get(), FILE_MAP_READ, 0, 0, 0));
    if (!view_) return false;
    size_ = static_cast<uint64_t>(size.QuadPart);
    return true;
}
