#include "image_screen.h"

#include <cstring>

namespace {

constexpr uint32_t kLfanewOffset = 60;
constexpr uint32_t kPeSignature = 0x4550;
constexpr uint32_t kNumberOfSectionsOffset = 6;       // from the NT header
constexpr uint32_t kSizeOfOptionalHeaderOffset = 20;  // from the NT header
constexpr uint32_t kCharacteristicsOffset = 22;       // from the NT header
constexpr uint32_t kMagicOffset = 24;                 // from the NT header
constexpr uint32_t kOptionalHeaderStart = 24;         // from the NT header
constexpr uint32_t kSectionHeaderSize = 40;
constexpr uint32_t kSizeOfRawDataOffset = 16;     // from a section header
constexpr uint32_t kPointerToRawDataOffset = 20;  // from a section header
constexpr uint16_t kPe32Magic = 0x10B;
constexpr uint16_t kExecutableFlag = 0x0002;
constexpr uint16_t kDllFlag = 0x2000;

// Reads through one bounds check each; a read that does not fit reports absence.
class ByteView {
public:
    ByteView(const uint8_t* data, uint32_t size) : data_(data), size_(size) {}

    bool Read16(uint64_t offset, uint16_t* value) const {
        if (!Fits(offset, 2)) return false;
        const uint8_t* p = data_ + offset;
        *value = static_cast<uint16_t>(p[0] | (p[1] << 8));
        return true;
    }
    bool Read32(uint64_t offset, uint32_t* value) const {
        if (!Fits(offset, 4)) return false;
        const uint8_t* p = data_ + offset;
        *value = static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
                 (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
        return true;
    }

private:
    bool Fits(uint64_t offset, uint32_t length) const {
        return offset <= size_ && length <= size_ - offset;
    }

    const uint8_t* data_;
    uint32_t size_;
};

bool EndsWith(const char* text, const char* suffix) {
    const size_t length = strlen(text);
    const size_t suffixLength = strlen(suffix);
    return length >= suffixLength &&
           memcmp(text + length - suffixLength, suffix, suffixLength) == 0;
}

}  // namespace

uint16_t ClassifyImageBytes(const uint8_t* data, uint32_t fileSize, const char* path) {
    uint32_t needed = 0;
    return ClassifyImagePrefix(data, fileSize, fileSize, path, &needed);
}

uint16_t ClassifyImagePrefix(const uint8_t* data, uint32_t available, uint32_t fileSize,
                             const char* path, uint32_t* needed) {
    *needed = 0;
    if (fileSize <= kSmallestImageFile) return kNotImage;
    if (available > fileSize) available = fileSize;
    // Each read below lies inside the file or is absent because it does not. Before each
    // group of reads the prefix is made to cover everything of that group that lies in
    // the file, so that the reads see just what a view of the whole file would show.
    const auto lacks = [&](uint64_t end) {
        if (end > fileSize) end = fileSize;
        if (end <= available) return false;
        *needed = static_cast<uint32_t>(end);
        return true;
    };
    const ByteView view(data, available);
    if (lacks(kLfanewOffset + 4)) return kNeedMoreBytes;

    uint16_t mz = 0;
    uint32_t lfanewRaw = 0;
    if (!view.Read16(0, &mz) || mz != 0x5A4D) return kNotImage;
    if (!view.Read32(kLfanewOffset, &lfanewRaw)) return kNotImage;
    const int32_t lfanew = static_cast<int32_t>(lfanewRaw);
    if (lfanew < 0 || static_cast<uint32_t>(lfanew) > fileSize) return kNotImage;
    const uint64_t nt = static_cast<uint32_t>(lfanew);
    // The signature, the file header and the optional header's magic.
    if (lacks(nt + kMagicOffset + 2)) return kNeedMoreBytes;

    // An NT header that starts in the last bytes of the file has no signature to read.
    uint32_t signature = 0;
    if (!view.Read32(nt, &signature) || signature != kPeSignature) return kDamagedImage;

    uint16_t optionalSize = 0;
    if (!view.Read16(nt + kSizeOfOptionalHeaderOffset, &optionalSize)) return kDamagedImage;
    const uint64_t sectionTable = nt + kOptionalHeaderStart + optionalSize;
    if (fileSize < sectionTable + kSectionHeaderSize) return kDamagedImage;
    uint16_t magic = 0;
    uint16_t sectionCount = 0;
    uint16_t characteristics = 0;
    if (!view.Read16(nt + kMagicOffset, &magic) || magic != kPe32Magic) return kDamagedImage;
    if (!view.Read16(nt + kNumberOfSectionsOffset, &sectionCount) || sectionCount == 0) {
        return kDamagedImage;
    }
    if ((fileSize - sectionTable) / kSectionHeaderSize < sectionCount) return kDamagedImage;
    if (lacks(sectionTable + static_cast<uint64_t>(sectionCount) * kSectionHeaderSize)) {
        return kNeedMoreBytes;
    }

    for (uint32_t i = 0; i < sectionCount; ++i) {
        const uint64_t header = sectionTable + static_cast<uint64_t>(i) * kSectionHeaderSize;
        uint32_t rawSize = 0;
        uint32_t rawPointer = 0;
        if (!view.Read32(header + kSizeOfRawDataOffset, &rawSize) ||
            !view.Read32(header + kPointerToRawDataOffset, &rawPointer)) {
            return kDamagedImage;
        }
        if (rawSize != 0 && rawPointer >= fileSize) return kDamagedImage;
    }

    if (!view.Read16(nt + kCharacteristicsOffset, &characteristics)) return kDamagedImage;
    if ((characteristics & kExecutableFlag) == 0) return kDamagedImage;
    // The driver test looks at the name exactly as given: ".SYS" is not a driver here.
    const bool isSys = path != nullptr && EndsWith(path, ".sys");
    if (isSys && (characteristics & kDllFlag) == 0) return kDriverImage;
    if ((characteristics & kDllFlag) != 0) return kLibraryImage;
    return kExecutableImage;
}
