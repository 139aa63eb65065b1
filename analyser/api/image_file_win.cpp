#include "image_file_win.h"

#include "image_screen.h"
#include "win/handles.h"

uint16_t ClassifyImageFile(const char* path) {
    if (path == nullptr || path[0] == '\0') return kNoPath;

    UniqueFile file(CreateFileA(path, GENERIC_READ,
                                FILE_SHARE_READ,        // others may read while we look
                                nullptr,                // default security
                                OPEN_EXISTING,          // never create
                                FILE_ATTRIBUTE_NORMAL,  // no special access pattern
                                nullptr));              // no template
    if (!file) return kOpenFailed;

    // Only the low 32 bits of the size count; an image never comes near 4 GiB.
    const DWORD size = GetFileSize(file.get(), nullptr);
    if (size <= kSmallestImageFile) return kNotImage;

    UniqueHandle mapping(CreateFileMappingA(file.get(), nullptr, PAGE_READONLY, 0, 0, nullptr));
    if (!mapping) return kMappingFailed;
    UniqueView view(MapViewOfFile(mapping.get(), FILE_MAP_READ, 0, 0, 0));
    if (!view) return kViewFailed;

    return ClassifyImageBytes(static_cast<const uint8_t*>(view.get()), size, path);
}
