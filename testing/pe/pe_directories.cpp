#include "pe_directories.h"

#include <algorithm>
#include <map>
#include <tuple>
#include <type_traits>

namespace petest {
namespace detail {
namespace {

uint32_t AlignUp(uint32_t value, uint32_t alignment) {
    return (value + alignment - 1) / alignment * alignment;
}

void AppendPadding(std::vector<uint8_t>& out, uint32_t alignment) {
    out.resize(AlignUp(static_cast<uint32_t>(out.size()), alignment), 0);
}

// Loaders look named entries up by binary search: names first, in upper-cased
// order, then ids ascending.
struct KeyOrder {
    static std::string Upper(const std::string& s) {
        std::string u = s;
        for (char& c : u) {
            if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        }
        return u;
    }
    bool operator()(const ResourceKey& a, const ResourceKey& b) const {
        if (a.name.empty() != b.name.empty()) return !a.name.empty();
        if (!a.name.empty()) return Upper(a.name) < Upper(b.name);
        return a.id < b.id;
    }
};

using LanguageMap = std::map<uint16_t, const std::vector<uint8_t>*>;
using NameMap = std::map<ResourceKey, LanguageMap, KeyOrder>;
using TypeMap = std::map<ResourceKey, NameMap, KeyOrder>;

uint32_t DirectorySize(size_t entries) {
    return 16 + 8 * static_cast<uint32_t>(entries);
}

template <typename Map>
void WriteDirectoryHeader(std::vector<uint8_t>& out, uint32_t at, const Map& entries) {
    uint16_t named = 0;
    for (const auto& entry : entries) {
        if constexpr (std::is_same_v<typename Map::key_type, ResourceKey>) {
            if (!entry.first.name.empty()) ++named;
        }
    }
    put16(out, at + 12, named);
    put16(out, at + 14, static_cast<uint16_t>(entries.size() - named));
}

// A version-info block: header, key, value and children, each 32-bit aligned.
std::vector<uint8_t> VersionBlock(const std::string& key, const std::vector<uint8_t>& value,
                                  uint16_t valueLength, uint16_t type,
                                  const std::vector<std::vector<uint8_t>>& children) {
    std::vector<uint8_t> out(6, 0);
    std::vector<uint8_t> k = Utf16(key);
    out.insert(out.end(), k.begin(), k.end());
    out.push_back(0);
    out.push_back(0);
    AppendPadding(out, 4);
    out.insert(out.end(), value.begin(), value.end());
    for (const auto& child : children) {
        AppendPadding(out, 4);
        out.insert(out.end(), child.begin(), child.end());
    }
    put16(out, 0, static_cast<uint16_t>(out.size()));
    put16(out, 2, valueLength);
    put16(out, 4, type);
    return out;
}

}  // namespace

std::vector<uint8_t> Utf16(const std::string& ascii) {
    std::vector<uint8_t> out;
    out.reserve(ascii.size() * 2);
    for (unsigned char c : ascii) {
        out.push_back(c);
        out.push_back(0);
    }
    return out;
}

ImportBlob BuildImports(const std::vector<ImportDll>& dlls, uint32_t sectionRva) {
    ImportBlob blob;
    blob.directorySize = static_cast<uint32_t>(dlls.size() + 1) * 20;
    uint32_t thunkWords = 0;
    for (const auto& dll : dlls) thunkWords += static_cast<uint32_t>(dll.functions.size()) + 1;

    const uint32_t iltStart = blob.directorySize;
    blob.iatOffset = iltStart + thunkWords * 4;
    blob.iatSize = thunkWords * 4;
    std::vector<uint8_t>& out = blob.bytes;
    out.resize(blob.iatOffset + blob.iatSize, 0);

    uint32_t thunk = 0;
    for (size_t i = 0; i < dlls.size(); ++i) {
        const ImportDll& dll = dlls[i];
        const uint32_t descriptor = static_cast<uint32_t>(i) * 20;
        const uint32_t nameOffset = static_cast<uint32_t>(out.size());
        out.insert(out.end(), dll.dll.begin(), dll.dll.end());
        out.push_back(0);
        AppendPadding(out, 2);
        put32(out, descriptor + 0, sectionRva + iltStart + thunk * 4);  // OriginalFirstThunk
        put32(out, descriptor + 12, sectionRva + nameOffset);
        put32(out, descriptor + 16, sectionRva + blob.iatOffset + thunk * 4);  // FirstThunk
        for (const auto& fn : dll.functions) {
            uint32_t value;
            if (fn.byOrdinal) {
                value = 0x80000000u | fn.ordinal;
            } else {
                value = sectionRva + static_cast<uint32_t>(out.size());
                const size_t at = out.size();
                put16(out, at, fn.hint);
                out.insert(out.end(), fn.name.begin(), fn.name.end());
                out.push_back(0);
                AppendPadding(out, 2);
            }
            put32(out, iltStart + thunk * 4, value);
            put32(out, blob.iatOffset + thunk * 4, value);
            ++thunk;
        }
        ++thunk;  // the zero thunk ending this DLL's lists
    }
    return blob;
}

std::vector<uint8_t> BuildResources(const std::vector<ResourceItem>& items, uint32_t sectionRva) {
    TypeMap tree;
    for (const auto& item : items) tree[item.type][item.name][item.language] = &item.data;

    // Directories first, then name strings, then data entries, then the data.
    uint32_t directoriesSize = DirectorySize(tree.size());
    size_t leaves = 0;
    std::vector<const ResourceKey*> namedKeys;
    for (const auto& type : tree) {
        if (!type.first.name.empty()) namedKeys.push_back(&type.first);
        directoriesSize += DirectorySize(type.second.size());
        for (const auto& name : type.second) {
            if (!name.first.name.empty()) namedKeys.push_back(&name.first);
            directoriesSize += DirectorySize(name.second.size());
            leaves += name.second.size();
        }
    }
    std::vector<uint8_t> out(directoriesSize, 0);
    std::map<const ResourceKey*, uint32_t> nameOffsets;
    for (const ResourceKey* key : namedKeys) {
        const uint32_t at = static_cast<uint32_t>(out.size());
        nameOffsets[key] = at;
        const std::vector<uint8_t> text = Utf16(key->name);
        put16(out, at, static_cast<uint16_t>(key->name.size()));
        out.insert(out.end(), text.begin(), text.end());
    }
    AppendPadding(out, 4);
    uint32_t dataEntry = static_cast<uint32_t>(out.size());
    out.resize(out.size() + leaves * 16, 0);

    auto entryName = [&](const ResourceKey& key) {
        return key.name.empty() ? key.id : 0x80000000u | nameOffsets.at(&key);
    };
    uint32_t nextDirectory = DirectorySize(tree.size());
    WriteDirectoryHeader(out, 0, tree);
    uint32_t typeEntry = 16;
    for (const auto& type : tree) {
        const uint32_t nameDirectory = nextDirectory;
        nextDirectory += DirectorySize(type.second.size());
        put32(out, typeEntry, entryName(type.first));
        put32(out, typeEntry + 4, 0x80000000u | nameDirectory);
        typeEntry += 8;
        WriteDirectoryHeader(out, nameDirectory, type.second);
        uint32_t nameEntry = nameDirectory + 16;
        for (const auto& name : type.second) {
            const uint32_t languageDirectory = nextDirectory;
            nextDirectory += DirectorySize(name.second.size());
            put32(out, nameEntry, entryName(name.first));
            put32(out, nameEntry + 4, 0x80000000u | languageDirectory);
            nameEntry += 8;
            WriteDirectoryHeader(out, languageDirectory, name.second);
            uint32_t languageEntry = languageDirectory + 16;
            for (const auto& language : name.second) {
                put32(out, languageEntry, language.first);
                put32(out, languageEntry + 4, dataEntry);
                languageEntry += 8;
                AppendPadding(out, 8);
                const std::vector<uint8_t>& data = *language.second;
                put32(out, dataEntry, sectionRva + static_cast<uint32_t>(out.size()));
                put32(out, dataEntry + 4, static_cast<uint32_t>(data.size()));
                out.insert(out.end(), data.begin(), data.end());
                dataEntry += 16;
            }
        }
    }
    return out;
}

std::vector<uint8_t> BuildVersionInfo(const std::string& legalCopyright) {
    std::vector<uint8_t> fixed(52, 0);
    put32(fixed, 0, 0xFEEF04BDu);   // signature
    put32(fixed, 4, 0x00010000u);   // structure version 1.0
    put32(fixed, 8, 0x00010000u);   // file version 1.0.0.0
    put32(fixed, 16, 0x00010000u);  // product version 1.0.0.0
    put32(fixed, 24, 0x3Fu);        // file flags mask
    put32(fixed, 32, 0x00040004u);  // VOS_NT_WINDOWS32
    put32(fixed, 36, 1);            // VFT_APP

    std::vector<uint8_t> value = Utf16(legalCopyright);
    value.push_back(0);
    value.push_back(0);
    // A String's value length counts UTF-16 units, terminator included.
    const auto copyright = VersionBlock("LegalCopyright", value,
                                        static_cast<uint16_t>(legalCopyright.size() + 1), 1, {});
    const auto table = VersionBlock("040904b0", {}, 0, 1, {copyright});
    const auto strings = VersionBlock("StringFileInfo", {}, 0, 1, {table});
    std::vector<uint8_t> translation;
    put16(translation, 0, 0x0409);
    put16(translation, 2, 0x04B0);
    const auto var = VersionBlock("Translation", translation, 4, 0, {});
    const auto vars = VersionBlock("VarFileInfo", {}, 0, 1, {var});
    return VersionBlock("VS_VERSION_INFO", fixed, 52, 0, {strings, vars});
}

std::vector<uint8_t> GroupIconEntry(const std::vector<uint8_t>& image, uint16_t iconId) {
    uint32_t width = 0, height = 0;
    uint16_t planes = 1, bitCount = 0;
    static const uint8_t kPng[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (image.size() >= 24 && std::equal(kPng, kPng + 8, image.begin())) {
        width = (uint32_t{image[16]} << 24) | (image[17] << 16) | (image[18] << 8) | image[19];
        height = (uint32_t{image[20]} << 24) | (image[21] << 16) | (image[22] << 8) | image[23];
        bitCount = 32;
    } else if (image.size() >= 40 && get32(image, 0) == 40) {
        // The DIB height covers the XOR and the AND mask, so the icon is half as high.
        width = get32(image, 4);
        height = get32(image, 8) / 2;
        planes = get16(image, 12);
        bitCount = get16(image, 14);
    }
    std::vector<uint8_t> entry(14, 0);
    entry[0] = static_cast<uint8_t>(width >= 256 ? 0 : width);  // 0 means 256
    entry[1] = static_cast<uint8_t>(height >= 256 ? 0 : height);
    put16(entry, 4, planes);
    put16(entry, 6, bitCount);
    put32(entry, 8, static_cast<uint32_t>(image.size()));
    put16(entry, 12, iconId);
    return entry;
}

}  // namespace detail
}  // namespace petest
