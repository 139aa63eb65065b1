// EnumResources: root directory -> type -> name directory -> first language -> data.
// Directory offsets are relative to the root; every piece must lie inside the image.
#include <cstring>

#include "pe_helper.h"

namespace {

constexpr uint64_t kDirectoryHeaderSize = 16;
constexpr uint64_t kEntrySize = 8;
constexpr uint64_t kDataEntrySize = 16;
constexpr uint32_t kSubdirectoryFlag = 0x80000000u;

struct TypeName {
    const char* name;
    uint32_t id;
};

constexpr TypeName kTypeNames[] = {
    {"RT_CURSOR", 1},      {"RT_BITMAP", 2},     {"RT_ICON", 3},          {"RT_MENU", 4},
    {"RT_DIALOG", 5},      {"RT_STRING", 6},     {"RT_FONTDIR", 7},       {"RT_FONT", 8},
    {"RT_ACCELERATOR", 9}, {"RT_RCDATA", 10},    {"RT_MESSAGETABLE", 11}, {"RT_GROUP_CURSOR", 12},
    {"RT_GROUP_ICON", 14}, {"RT_VERSION", 16},   {"RT_DLGINCLUDE", 17},   {"RT_PLUGPLAY", 19},
    {"RT_VXD", 20},        {"RT_ANICURSOR", 21}, {"RT_ANIICON", 22},      {"RT_HTML", 23},
};

uint32_t TypeId(const char* typeName) {
    if (typeName == nullptr) return 0;
    for (const TypeName& t : kTypeNames) {
        if (std::strcmp(typeName, t.name) == 0) return t.id;
    }
    return 0;
}

}  // namespace

int CPEHelper::EnumResources(const char* typeName, PEResourceCallback callback, void* user) {
    if (GetResourceDirectory() == nullptr) return 0;
    const uint32_t type = TypeId(typeName);
    if (type == 0) return 0;

    const uint64_t root = static_cast<uint64_t>(resourceOffset_);
    const uint64_t sizeOfImage = static_cast<uint32_t>(sizeOfImage_);
    const uint64_t rootEntries =
        static_cast<uint64_t>(view_.Read16Or0(root + 12)) + view_.Read16Or0(root + 14);
    int budget = kMaxResourceEntries;

    for (uint64_t k = 0; k < rootEntries; ++k) {
        const uint64_t entry = root + kDirectoryHeaderSize + k * kEntrySize;
        if (!view_.Has(entry, kEntrySize)) return 0;
        if (view_.Read32Or0(entry) != type) continue;
        const uint64_t typeOffset = view_.Read32Or0(entry + 4) & ~kSubdirectoryFlag;
        if (typeOffset > sizeOfImage) continue;
        const uint64_t names = root + typeOffset;
        if (!view_.Has(names, kDirectoryHeaderSize + kEntrySize)) continue;
        if ((view_.Read32Or0(names + kDirectoryHeaderSize + 4) & ~kSubdirectoryFlag) >
            sizeOfImage) {
            continue;
        }

        // The id-entry count is applied from the first entry on, named entries included.
        const uint16_t count = view_.Read16Or0(names + 14);
        for (uint64_t n = 0; n < count; ++n) {
            if (--budget < 0) return 1;
            const uint64_t nameEntry = names + kDirectoryHeaderSize + n * kEntrySize;
            if (!view_.Has(nameEntry, kEntrySize)) break;
            const uint32_t languages = view_.Read32Or0(nameEntry + 4);
            if ((languages & kSubdirectoryFlag) == 0) continue;
            const uint64_t language = root + (languages & ~kSubdirectoryFlag);
            if (!view_.Has(language, kDirectoryHeaderSize + kEntrySize)) continue;
            const uint32_t dataOffset = view_.Read32Or0(language + kDirectoryHeaderSize + 4);
            if ((dataOffset & kSubdirectoryFlag) != 0) continue;
            const uint64_t dataEntry = root + dataOffset;
            if (!view_.Has(dataEntry, kDataEntrySize)) continue;

            const uint32_t rva = view_.Read32Or0(dataEntry);
            const uint32_t size = view_.Read32Or0(dataEntry + 4);
            const int64_t offset = sectionMap_.Find(rva).offset;
            // Data that runs past the end of the image counts as absent.
            if (offset < 0 || !view_.Has(static_cast<uint64_t>(offset), size)) continue;
            if (callback != nullptr &&
                callback(view_.data() + offset, static_cast<int>(size), user) != 0) {
                return 1;
            }
        }
    }
    return 1;
}
