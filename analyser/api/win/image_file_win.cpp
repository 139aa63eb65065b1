#include "image_file_win.h"

#include <vector>

#include "image_screen.h"
#include "win32/handles.h"

namespace {

// The headers of nearly every image lie in its first page.
constexpr uint32_t kFirstRead = 4096;
// Headers further in than this are left to a view of the whole file.
constexpr uint32_t kMostRead = 1u << 20;
// Larger files are mapped as they always were: whether a view of such a file fits the
// address space decides their code, and reading would change that.
constexpr uint32_t kLargestReadFile = 256u << 20;

// The whole file mapped: the check as it first was, for the files that reading does
// not suit.
uint16_t ClassifyMappedFile(HANDLE file, DWORD size, const char* path) {
    UniqueHandle mapping(CreateFileMappingA(file, nullptr, PAGE_READONLY, 0, 0, nullptr));
    if (!mapping) return kMappingFailed;
    UniqueView view(MapViewOfFile(mapping.get(), FILE_MAP_READ, 0, 0, 0));
    if (!view) return kViewFailed;
    return ClassifyImageBytes(static_cast<const uint8_t*>(view.get()), size, path);
}

// Reads on from where the last read ended until `bytes` holds `length` bytes.
bool ReadOn(HANDLE file, uint8_t* bytes, uint32_t have, uint32_t length) {
    while (have < length) {
        DWORD got = 0;
        if (!ReadFile(file, bytes + have, length - have, &got, nullptr) || got == 0) return false;
        have += got;
    }
    return true;
}

}  // namespace

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
    DWORD high = 0;
    const DWORD size = GetFileSize(file.get(), &high);
    if (size <= kSmallestImageFile) return kNotImage;
    if (high != 0 || size > kLargestReadFile) return ClassifyMappedFile(file.get(), size, path);

    // The headers are read rather than mapped: under Wine a mapping and its view cost
    // several calls to the server each, a read of one page next to nothing.
    uint8_t first[kFirstRead];
    const uint32_t firstLength = size < kFirstRead ? size : kFirstRead;
    if (!ReadOn(file.get(), first, 0, firstLength))
        return ClassifyMappedFile(file.get(), size, path);
    uint32_t needed = 0;
    const uint16_t code = ClassifyImagePrefix(first, firstLength, size, path, &needed);
    if (code != kNeedMoreBytes) return code;

    // Headers further in: the prefix up to them, at most twice more (the NT header, then
    // the section table).
    if (needed > kMostRead) return ClassifyMappedFile(file.get(), size, path);
    std::vector<uint8_t> prefix(first, first + firstLength);
    for (;;) {
        const uint32_t have = static_cast<uint32_t>(prefix.size());
        prefix.resize(needed);
        if (!ReadOn(file.get(), prefix.data(), have, needed)) {
            return ClassifyMappedFile(file.get(), size, path);
        }
        const uint16_t answer = ClassifyImagePrefix(prefix.data(), needed, size, path, &needed);
        if (answer != kNeedMoreBytes) return answer;
        if (needed > kMostRead) return ClassifyMappedFile(file.get(), size, path);
    }
}
