#include "pe_image_builder.h"

#include <algorithm>

#include "pe_directories.h"

namespace petest {
namespace {

constexpr uint32_t kFileHeaderSize = 20;
constexpr uint32_t kSectionHeaderSize = 40;
constexpr uint32_t kOptionalHeaderSize = 224;  // PE32 with 16 data directories
constexpr uint32_t kDataDirectoryStart = 96;
constexpr unsigned kImportDirectory = 1;
constexpr unsigned kResourceDirectory = 2;
constexpr unsigned kIatDirectory = 12;

uint32_t AlignUp(uint32_t value, uint32_t alignment) {
    if (alignment <= 1) return value;
    return (value + alignment - 1) / alignment * alignment;
}

bool Covers(const Section& s, uint32_t rva) {
    return rva >= s.virtualAddress && rva - s.virtualAddress < s.virtualSize;
}

// Resolves the automatic fields of sections in order, as a linker would place them.
class SectionPlacer {
public:
    SectionPlacer(uint32_t sizeOfHeaders, uint32_t fileAlignment, uint32_t sectionAlignment)
        : fileAlignment_(fileAlignment),
          sectionAlignment_(sectionAlignment),
          nextVa_(AlignUp(sizeOfHeaders, sectionAlignment)),
          nextRaw_(sizeOfHeaders) {}

    uint32_t nextVa() const { return nextVa_; }

    Section Place(Section s) {
        const uint32_t dataSize = static_cast<uint32_t>(s.data.size());
        if (s.virtualAddress == 0) s.virtualAddress = nextVa_;
        if (s.virtualSize == 0) s.virtualSize = dataSize;
        if (s.rawSize == kAuto) s.rawSize = AlignUp(dataSize, fileAlignment_);
        if (s.rawOffset == 0 && s.rawSize != 0) s.rawOffset = nextRaw_;
        nextVa_ = std::max(
            nextVa_, AlignUp(s.virtualAddress + std::max(s.virtualSize, 1u), sectionAlignment_));
        if (s.rawSize != 0) {
            nextRaw_ = std::max(nextRaw_, AlignUp(s.rawOffset + s.rawSize, fileAlignment_));
        }
        return s;
    }

private:
    uint32_t fileAlignment_;
    uint32_t sectionAlignment_;
    uint32_t nextVa_;
    uint32_t nextRaw_;
};

}  // namespace

PeImageBuilder& PeImageBuilder::Lfanew(uint32_t offset) {
    lfanew_ = offset;
    return *this;
}
PeImageBuilder& PeImageBuilder::Machine(uint16_t machine) {
    machine_ = machine;
    return *this;
}
PeImageBuilder& PeImageBuilder::Characteristics(uint16_t flags) {
    characteristics_ = flags;
    return *this;
}
PeImageBuilder& PeImageBuilder::Magic(uint16_t magic) {
    magic_ = magic;
    return *this;
}
PeImageBuilder& PeImageBuilder::EntryPoint(uint32_t rva) {
    entryPoint_ = rva;
    entryPointSet_ = true;
    return *this;
}
PeImageBuilder& PeImageBuilder::ImageBase(uint32_t base) {
    imageBase_ = base;
    return *this;
}
PeImageBuilder& PeImageBuilder::SizeOfOptionalHeader(uint16_t size) {
    sizeOfOptionalHeader_ = size;
    return *this;
}
PeImageBuilder& PeImageBuilder::NumberOfSectionsOverride(uint16_t count) {
    numberOfSections_ = count;
    numberOfSectionsSet_ = true;
    return *this;
}
PeImageBuilder& PeImageBuilder::FileAlignment(uint32_t alignment) {
    fileAlignment_ = alignment;
    return *this;
}
PeImageBuilder& PeImageBuilder::SectionAlignment(uint32_t alignment) {
    sectionAlignment_ = alignment;
    return *this;
}
PeImageBuilder& PeImageBuilder::Subsystem(uint16_t subsystem) {
    subsystem_ = subsystem;
    return *this;
}
PeImageBuilder& PeImageBuilder::TimeDateStamp(uint32_t stamp) {
    timeDateStamp_ = stamp;
    return *this;
}
PeImageBuilder& PeImageBuilder::DataDirectory(unsigned index, uint32_t rva, uint32_t size) {
    directoryOverrides_.push_back({index, {rva, size}});
    return *this;
}
PeImageBuilder& PeImageBuilder::AddSection(Section section) {
    sections_.push_back(std::move(section));
    return *this;
}
PeImageBuilder& PeImageBuilder::AddImport(ImportDll dll) {
    imports_.push_back(std::move(dll));
    return *this;
}
PeImageBuilder& PeImageBuilder::ResourceSectionName(std::string name) {
    resourceSectionName_ = std::move(name);
    return *this;
}

PeImageBuilder& PeImageBuilder::ImportSectionName(std::string name) {
    importSectionName_ = std::move(name);
    return *this;
}
PeImageBuilder& PeImageBuilder::AddResource(ResourceKey type, ResourceKey name,
                                            std::vector<uint8_t> data, uint16_t language) {
    resources_.push_back({std::move(type), std::move(name), language, std::move(data)});
    return *this;
}
PeImageBuilder& PeImageBuilder::AddIcon(uint16_t id, std::vector<uint8_t> image) {
    return AddResource({kRtIcon, {}}, {id, {}}, std::move(image));
}
PeImageBuilder& PeImageBuilder::AddGroupIcon(uint16_t id, std::vector<uint16_t> iconIds) {
    std::vector<uint8_t> group(6, 0);
    put16(group, 2, 1);  // icons, not cursors
    put16(group, 4, static_cast<uint16_t>(iconIds.size()));
    for (uint16_t iconId : iconIds) {
        const std::vector<uint8_t>* image = nullptr;
        for (const auto& r : resources_) {
            if (r.type.name.empty() && r.type.id == kRtIcon && r.name.name.empty() &&
                r.name.id == iconId) {
                image = &r.data;
            }
        }
        const auto entry = detail::GroupIconEntry(image ? *image : std::vector<uint8_t>{}, iconId);
        group.insert(group.end(), entry.begin(), entry.end());
    }
    return AddResource({kRtGroupIcon, {}}, {id, {}}, std::move(group));
}
PeImageBuilder& PeImageBuilder::AddVersionInfo(std::string legalCopyright) {
    return AddResource({kRtVersion, {}}, {1, {}}, detail::BuildVersionInfo(legalCopyright));
}
PeImageBuilder& PeImageBuilder::EntryBytes(std::vector<uint8_t> bytes) {
    entryBytes_ = std::move(bytes);
    hasEntryBytes_ = true;
    return *this;
}
PeImageBuilder& PeImageBuilder::Overlay(std::vector<uint8_t> bytes) {
    overlay_ = std::move(bytes);
    return *this;
}
PeImageBuilder& PeImageBuilder::Patch(uint32_t offset, std::vector<uint8_t> bytes) {
    patches_.push_back({offset, std::move(bytes)});
    return *this;
}
PeImageBuilder& PeImageBuilder::Truncate(uint32_t size) {
    truncate_ = true;
    truncateSize_ = size;
    return *this;
}

std::vector<uint8_t> PeImageBuilder::Build() const {
    return Build(nullptr);
}

std::vector<uint8_t> PeImageBuilder::Build(Layout* layoutOut) const {
    const uint32_t optionalHeaderOffset = lfanew_ + 4 + kFileHeaderSize;
    const uint32_t sectionTableOffset = optionalHeaderOffset + sizeOfOptionalHeader_;
    auto sizeOfHeadersFor = [&](size_t count) {
        return AlignUp(sectionTableOffset + kSectionHeaderSize * static_cast<uint32_t>(count),
                       fileAlignment_);
    };

    // Entry bytes go into the section that covers the entry point; which one that is
    // depends on where the sections land, so place them once to find out.
    std::vector<Section> userSections = sections_;
    const size_t generated = (imports_.empty() ? 0 : 1) + (resources_.empty() ? 0 : 1);
    bool needText = hasEntryBytes_;
    if (hasEntryBytes_ && entryPointSet_) {
        SectionPlacer trial(sizeOfHeadersFor(userSections.size() + generated), fileAlignment_,
                            sectionAlignment_);
        for (auto& s : userSections) {
            const Section placed = trial.Place(s);
            if (needText && Covers(placed, entryPoint_)) {
                const size_t at = entryPoint_ - placed.virtualAddress;
                putBytes(s.data, at, entryBytes_);
                needText = false;
            }
        }
    }

    const size_t sectionCount = userSections.size() + generated + (needText ? 1 : 0);
    Layout layout;
    layout.peOffset = lfanew_;
    layout.optionalHeaderOffset = optionalHeaderOffset;
    layout.dataDirectoryOffset = optionalHeaderOffset + kDataDirectoryStart;
    layout.sectionTableOffset = sectionTableOffset;
    layout.sizeOfHeaders = sizeOfHeadersFor(sectionCount);

    uint32_t directories[16][2] = {};
    uint32_t entryPoint = entryPoint_;
    SectionPlacer placer(layout.sizeOfHeaders, fileAlignment_, sectionAlignment_);
    for (auto& s : userSections) layout.sections.push_back(placer.Place(std::move(s)));
    if (needText) {
        layout.sections.push_back(placer.Place({".text", entryBytes_}));
        entryPoint = layout.sections.back().virtualAddress;
    }
    if (!imports_.empty()) {
        const uint32_t rva = placer.nextVa();
        detail::ImportBlob blob = detail::BuildImports(imports_, rva);
        directories[kImportDirectory][0] = rva;
        directories[kImportDirectory][1] = blob.directorySize;
        directories[kIatDirectory][0] = rva + blob.iatOffset;
        directories[kIatDirectory][1] = blob.iatSize;
        layout.sections.push_back(placer.Place(
            {importSectionName_, std::move(blob.bytes), 0, 0, 0, kAuto, kSectionData}));
    }
    if (!resources_.empty()) {
        const uint32_t rva = placer.nextVa();
        std::vector<detail::ResourceItem> items;
        for (const auto& r : resources_) items.push_back({r.type, r.name, r.language, r.data});
        std::vector<uint8_t> tree = detail::BuildResources(items, rva);
        directories[kResourceDirectory][0] = rva;
        directories[kResourceDirectory][1] = static_cast<uint32_t>(tree.size());
        layout.sections.push_back(
            placer.Place({resourceSectionName_, std::move(tree), 0, 0, 0, kAuto, kSectionReadOnly}));
    }
    for (const auto& o : directoryOverrides_) {
        if (o.first < 16) {
            directories[o.first][0] = o.second.first;
            directories[o.first][1] = o.second.second;
        }
    }

    uint32_t imageEnd = layout.sizeOfHeaders;
    uint32_t sizeOfCode = 0, sizeOfData = 0, sizeOfBss = 0, baseOfCode = 0, baseOfData = 0;
    for (const auto& s : layout.sections) {
        imageEnd = std::max(imageEnd, s.virtualAddress + s.virtualSize);
        if (s.characteristics & 0x20) {
            sizeOfCode += s.rawSize;
            if (baseOfCode == 0) baseOfCode = s.virtualAddress;
        } else if (baseOfData == 0) {
            baseOfData = s.virtualAddress;
        }
        if (s.characteristics & 0x40) sizeOfData += s.rawSize;
        if (s.characteristics & 0x80) sizeOfBss += s.virtualSize;
    }
    layout.sizeOfImage = AlignUp(imageEnd, sectionAlignment_);

    std::vector<uint8_t> out(layout.sizeOfHeaders, 0);
    // DOS header of a stub-less image; e_lfanew is written last because with a small
    // e_lfanew it shares its bytes with the PE headers, as loaders allow.
    out[0] = 'M';
    out[1] = 'Z';
    put16(out, 2, 0x90);
    put16(out, 4, 3);
    put16(out, 8, 4);
    put16(out, 12, 0xFFFF);
    put16(out, 16, 0xB8);
    put16(out, 24, 0x40);

    putBytes(out, lfanew_, {'P', 'E', 0, 0});
    const uint32_t fileHeader = lfanew_ + 4;
    put16(out, fileHeader + 0, machine_);
    put16(out, fileHeader + 2,
          numberOfSectionsSet_ ? numberOfSections_ : static_cast<uint16_t>(sectionCount));
    put32(out, fileHeader + 4, timeDateStamp_);
    put16(out, fileHeader + 16, sizeOfOptionalHeader_);
    put16(out, fileHeader + 18, characteristics_);

    std::vector<uint8_t> opt(kOptionalHeaderSize, 0);
    put16(opt, 0, magic_);
    opt[2] = 2;  // linker version
    put32(opt, 4, sizeOfCode);
    put32(opt, 8, sizeOfData);
    put32(opt, 12, sizeOfBss);
    put32(opt, 16, entryPoint);
    put32(opt, 20, baseOfCode);
    put32(opt, 24, baseOfData);
    put32(opt, 28, imageBase_);
    put32(opt, 32, sectionAlignment_);
    put32(opt, 36, fileAlignment_);
    put16(opt, 40, 4);  // operating system version 4.0
    put16(opt, 48, 4);  // subsystem version 4.0
    put32(opt, 56, layout.sizeOfImage);
    put32(opt, 60, layout.sizeOfHeaders);
    put16(opt, 68, subsystem_);
    put32(opt, 72, 0x100000);  // stack reserve
    put32(opt, 76, 0x1000);    // stack commit
    put32(opt, 80, 0x100000);  // heap reserve
    put32(opt, 84, 0x1000);    // heap commit
    // A shorter optional header holds fewer directories; say so rather than let the
    // section table be read as directories.
    const uint32_t directoryRoom = sizeOfOptionalHeader_ > kDataDirectoryStart
                                       ? (sizeOfOptionalHeader_ - kDataDirectoryStart) / 8
                                       : 0;
    put32(opt, 92, std::min<uint32_t>(16, directoryRoom));
    for (unsigned i = 0; i < 16; ++i) {
        put32(opt, kDataDirectoryStart + i * 8, directories[i][0]);
        put32(opt, kDataDirectoryStart + i * 8 + 4, directories[i][1]);
    }
    opt.resize(std::min<uint32_t>(kOptionalHeaderSize, sizeOfOptionalHeader_));
    putBytes(out, optionalHeaderOffset, opt);

    uint32_t header = sectionTableOffset;
    for (const auto& s : layout.sections) {
        std::vector<uint8_t> name(s.name.begin(),
                                  s.name.begin() + std::min<size_t>(8, s.name.size()));
        name.resize(8, 0);
        putBytes(out, header, name);
        put32(out, header + 8, s.virtualSize);
        put32(out, header + 12, s.virtualAddress);
        put32(out, header + 16, s.rawSize);
        put32(out, header + 20, s.rawOffset);
        put32(out, header + 36, s.characteristics);
        header += kSectionHeaderSize;
    }
    if (out.size() < layout.sizeOfHeaders) out.resize(layout.sizeOfHeaders, 0);
    put32(out, 0x3C, lfanew_);

    for (const auto& s : layout.sections) {
        if (s.rawSize == 0) continue;
        const size_t end = size_t{s.rawOffset} + s.rawSize;
        if (out.size() < end) out.resize(end, 0);
        const size_t copied = std::min<size_t>(s.data.size(), s.rawSize);
        std::copy(s.data.begin(), s.data.begin() + copied, out.begin() + s.rawOffset);
    }
    layout.overlayOffset = static_cast<uint32_t>(out.size());
    out.insert(out.end(), overlay_.begin(), overlay_.end());

    for (const auto& p : patches_) putBytes(out, p.first, p.second);
    if (truncate_ && truncateSize_ < out.size()) out.resize(truncateSize_);
    if (layoutOut) *layoutOut = std::move(layout);
    return out;
}

}  // namespace petest
