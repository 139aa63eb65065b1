// Builders of the directory blobs that live inside sections (imports, resources,
// version info). Private to the PE image builder.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "pe_image_builder.h"

namespace petest {
namespace detail {

struct ImportBlob {
    std::vector<uint8_t> bytes;
    uint32_t directorySize = 0;  // descriptors including the terminating one
    uint32_t iatOffset = 0;      // inside `bytes`
    uint32_t iatSize = 0;
};

// Lays out descriptors, ILTs, IATs, DLL names and hint/name entries for a section
// that will be mapped at `sectionRva`.
ImportBlob BuildImports(const std::vector<ImportDll>& dlls, uint32_t sectionRva);

struct ResourceItem {
    ResourceKey type;
    ResourceKey name;
    uint16_t language = 0;
    std::vector<uint8_t> data;
};

// The type/name/language tree, name strings, data entries and data, for a section
// mapped at `sectionRva`. Later items replace earlier ones with the same keys.
std::vector<uint8_t> BuildResources(const std::vector<ResourceItem>& items, uint32_t sectionRva);

std::vector<uint8_t> BuildVersionInfo(const std::string& legalCopyright);

// Fixed 14-byte GRPICONDIRENTRY fields taken from an icon image (DIB or PNG).
std::vector<uint8_t> GroupIconEntry(const std::vector<uint8_t>& image, uint16_t iconId);

std::vector<uint8_t> Utf16(const std::string& ascii);

}  // namespace detail
}  // namespace petest
