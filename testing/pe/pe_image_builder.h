// Builds small PE32 images in memory for tests: headers, sections, an import
// directory, a resource tree, entry-point bytes and an overlay. Everything is laid
// out consistently by default; every field a test may want to break can be set by
// hand, and Patch() edits the finished bytes after layout.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace petest {

// Little-endian accessors. The writers grow the vector when writing past its end;
// the readers return 0 for bytes outside the vector.
void put16(std::vector<uint8_t>& out, size_t offset, uint16_t value);
void put32(std::vector<uint8_t>& out, size_t offset, uint32_t value);
void putBytes(std::vector<uint8_t>& out, size_t offset, const std::vector<uint8_t>& bytes);
uint16_t get16(const std::vector<uint8_t>& in, size_t offset);
uint32_t get32(const std::vector<uint8_t>& in, size_t offset);

// A DIB icon image (BITMAPINFOHEADER, 32-bit pixels of one shade, AND mask) of
// size x size pixels, as RT_ICON resources and .ico files hold it.
std::vector<uint8_t> MakeIconImage(uint32_t size, uint8_t shade);

constexpr uint32_t kAuto = 0xFFFFFFFFu;

// Section characteristics most tests need.
constexpr uint32_t kSectionCode = 0x60000020;      // code | execute | read
constexpr uint32_t kSectionData = 0xC0000040;      // initialized data | read | write
constexpr uint32_t kSectionReadOnly = 0x40000040;  // initialized data | read

struct Section {
    std::string name;  // written as given: 8 bytes, no terminator when 8 long, longer cut to 8
    std::vector<uint8_t> data;
    uint32_t virtualAddress = 0;  // 0: after the previous section, section-aligned
    uint32_t virtualSize = 0;     // 0: data size
    uint32_t rawOffset = 0;       // 0: after the previous section's raw data, file-aligned
    uint32_t rawSize = kAuto;     // SizeOfRawData; kAuto: data size rounded up to file alignment
    uint32_t characteristics = kSectionCode;
};

struct ImportFunction {
    std::string name;
    uint16_t hint = 0;
    bool byOrdinal = false;
    uint16_t ordinal = 0;
};

struct ImportDll {
    std::string dll;
    std::vector<ImportFunction> functions;
};

struct ResourceKey {
    uint32_t id = 0;
    std::string name;  // non-empty: a named entry (ASCII, stored as UTF-16)
};

// Resource types the conveniences use.
constexpr uint16_t kRtIcon = 3;
constexpr uint16_t kRtGroupIcon = 14;
constexpr uint16_t kRtVersion = 16;

// Where Build() put things, for tests that want to patch or look at them.
struct Layout {
    uint32_t peOffset = 0;  // offset of "PE\0\0"
    uint32_t optionalHeaderOffset = 0;
    uint32_t dataDirectoryOffset = 0;  // offset of data directory 0
    uint32_t sectionTableOffset = 0;
    uint32_t sizeOfHeaders = 0;
    uint32_t sizeOfImage = 0;
    uint32_t overlayOffset = 0;     // end of the last section's raw data
    std::vector<Section> sections;  // as laid out, every auto field resolved
};

class PeImageBuilder {
public:
    PeImageBuilder& Lfanew(uint32_t offset);              // default 0x80
    PeImageBuilder& Machine(uint16_t machine);            // default 0x14C (i386)
    PeImageBuilder& Characteristics(uint16_t flags);      // default 0x0102 (exe, 32-bit)
    PeImageBuilder& Magic(uint16_t magic);                // default 0x10B (PE32)
    PeImageBuilder& EntryPoint(uint32_t rva);             // default 0 unless EntryBytes made .text
    PeImageBuilder& ImageBase(uint32_t base);             // default 0x400000
    PeImageBuilder& SizeOfOptionalHeader(uint16_t size);  // default 224; moves the section table
    PeImageBuilder& NumberOfSectionsOverride(uint16_t count);  // written instead of the real count
    PeImageBuilder& FileAlignment(uint32_t alignment);         // default 0x200
    PeImageBuilder& SectionAlignment(uint32_t alignment);      // default 0x1000
    PeImageBuilder& Subsystem(uint16_t subsystem);             // default 2 (GUI)
    PeImageBuilder& TimeDateStamp(uint32_t stamp);             // default 0
    // Sets data directory `index` by hand; it then wins over what Build() would fill in.
    PeImageBuilder& DataDirectory(unsigned index, uint32_t rva, uint32_t size);

    PeImageBuilder& AddSection(Section section);

    // Imports go into one section built at Build() time, named ".idata" unless renamed.
    PeImageBuilder& AddImport(ImportDll dll);
    PeImageBuilder& ImportSectionName(std::string name);
    // The section that holds the resource tree; ".rsrc" unless set.
    PeImageBuilder& ResourceSectionName(std::string name);

    // Resources go into a ".rsrc" section with a type/name/language tree.
    PeImageBuilder& AddResource(ResourceKey type, ResourceKey name, std::vector<uint8_t> data,
                                uint16_t language = 0x409);
    PeImageBuilder& AddIcon(uint16_t id, std::vector<uint8_t> image);
    // A GRPICONDIR whose entries point at RT_ICON ids; sizes are taken from icons
    // already added with those ids (0 for ids not added).
    PeImageBuilder& AddGroupIcon(uint16_t id, std::vector<uint16_t> iconIds);
    // VS_VERSIONINFO with VS_FIXEDFILEINFO and StringFileInfo\040904b0\LegalCopyright.
    PeImageBuilder& AddVersionInfo(std::string legalCopyright);

    // Bytes at the entry point. If no section covers the entry point at Build() time,
    // a ".text" section holding them is created and the entry point set to its start.
    PeImageBuilder& EntryBytes(std::vector<uint8_t> bytes);
    PeImageBuilder& Overlay(std::vector<uint8_t> bytes);

    // Written over the finished image (growing it if needed), in the order given.
    PeImageBuilder& Patch(uint32_t offset, std::vector<uint8_t> bytes);
    // Cuts the finished image (after patches) to `size` bytes, for raw data past EOF.
    PeImageBuilder& Truncate(uint32_t size);

    // Section order: the added sections, then the generated .text, import and resource
    // sections. Nothing is validated: fields set by hand are written as given.
    std::vector<uint8_t> Build() const;
    std::vector<uint8_t> Build(Layout* layout) const;

private:
    struct Resource {
        ResourceKey type;
        ResourceKey name;
        uint16_t language = 0;
        std::vector<uint8_t> data;
    };

    uint32_t lfanew_ = 0x80;
    uint16_t machine_ = 0x14C;
    uint16_t characteristics_ = 0x0102;
    uint16_t magic_ = 0x10B;
    uint32_t entryPoint_ = 0;
    bool entryPointSet_ = false;
    uint32_t imageBase_ = 0x400000;
    uint16_t sizeOfOptionalHeader_ = 224;
    bool numberOfSectionsSet_ = false;
    uint16_t numberOfSections_ = 0;
    uint32_t fileAlignment_ = 0x200;
    uint32_t sectionAlignment_ = 0x1000;
    uint16_t subsystem_ = 2;
    uint32_t timeDateStamp_ = 0;
    std::vector<std::pair<unsigned, std::pair<uint32_t, uint32_t>>> directoryOverrides_;
    std::vector<Section> sections_;
    std::vector<ImportDll> imports_;
    std::string importSectionName_ = ".idata";
    std::string resourceSectionName_ = ".rsrc";
    std::vector<Resource> resources_;
    std::vector<uint8_t> entryBytes_;
    bool hasEntryBytes_ = false;
    std::vector<uint8_t> overlay_;
    std::vector<std::pair<uint32_t, std::vector<uint8_t>>> patches_;
    bool truncate_ = false;
    uint32_t truncateSize_ = 0;
};

}  // namespace petest
