#pragma once
// The section table of a parsed image and the RVA to file offset conversion over it.
// Sections may overlap; the first section in header order that holds an RVA wins.
// A file may declare 65535 sections, so a lookup must not walk the table: the table is
// cut once into disjoint address ranges, each tagged with its first holding section.
#include <cstdint>
#include <vector>

struct SectionEntry {
    uint32_t virtualAddress = 0;
    uint32_t rawSize = 0;    // SizeOfRawData: the section holds [va, va + rawSize)
    uint32_t rawOffset = 0;  // PointerToRawData
};

struct SectionHit {
    int index = -1;       // -1: no section holds the RVA
    int64_t offset = -1;  // rva - virtualAddress + rawOffset, up to 33 bits wide
};

class SectionMap {
public:
    void Clear();
    // Replaces the table and rebuilds the lookup ranges.
    void Assign(std::vector<SectionEntry> sections);

    const std::vector<SectionEntry>& sections() const { return sections_; }
    SectionHit Find(uint32_t rva) const;

private:
    struct Range {
        uint64_t start;
        uint64_t end;  // exclusive
        int index;
    };

    std::vector<SectionEntry> sections_;
    std::vector<Range> ranges_;  // sorted, disjoint
};
