#include "pe_image_builder.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

using petest::get16;
using petest::get32;
using petest::Layout;
using petest::PeImageBuilder;
using petest::Section;

std::string SectionName(const std::vector<uint8_t>& image, uint32_t header) {
    return std::string(image.begin() + header, image.begin() + header + 8);
}

TEST(PeBytesTest, WritersGrowAndReadersStayInside) {
    std::vector<uint8_t> v;
    petest::put32(v, 6, 0x11223344);
    ASSERT_EQ(v.size(), 10u);
    EXPECT_EQ(v[6], 0x44);
    EXPECT_EQ(v[9], 0x11);
    EXPECT_EQ(get32(v, 6), 0x11223344u);
    EXPECT_EQ(get16(v, 8), 0x1122u);
    // Reads that run off the end see zeros, including offsets near SIZE_MAX.
    EXPECT_EQ(get16(v, 9), 0x11u);
    EXPECT_EQ(get32(v, 10), 0u);
    EXPECT_EQ(get32(v, SIZE_MAX), 0u);
    EXPECT_EQ(get32(v, SIZE_MAX - 1), 0u);
}

TEST(PeImageBuilderTest, HeadersPointAtEachOther) {
    Layout layout;
    const auto image = PeImageBuilder().EntryBytes({0xC3}).Build(&layout);
    EXPECT_EQ(image[0], 'M');
    EXPECT_EQ(image[1], 'Z');
    EXPECT_EQ(get32(image, 0x3C), 0x80u);
    EXPECT_EQ(get32(image, 0x80), 0x00004550u);
    EXPECT_EQ(layout.sectionTableOffset, 0x80u + 24 + 224);
    EXPECT_EQ(layout.dataDirectoryOffset, 0x80u + 24 + 96);
    ASSERT_EQ(layout.sections.size(), 1u);
    EXPECT_EQ(get32(image, layout.optionalHeaderOffset + 16), layout.sections[0].virtualAddress);
    EXPECT_EQ(image[layout.sections[0].rawOffset], 0xC3);
    EXPECT_EQ(layout.overlayOffset, image.size());
}

TEST(PeImageBuilderTest, SmallLfanewSharesBytesWithHeadersButKeepsPointer) {
    Layout layout;
    const auto image = PeImageBuilder().Lfanew(0x10).EntryBytes({0xC3}).Build(&layout);
    EXPECT_EQ(get32(image, 0x3C), 0x10u);
    EXPECT_EQ(get32(image, 0x10), 0x00004550u);
    EXPECT_EQ(get16(image, 0x14), 0x14Cu);
}

TEST(PeImageBuilderTest, ShortOptionalHeaderHoldsFewerDirectories) {
    Layout layout;
    const auto image = PeImageBuilder()
                           .SizeOfOptionalHeader(96 + 2 * 8)
                           .AddSection({"ONE", {1, 2, 3}})
                           .Build(&layout);
    EXPECT_EQ(get32(image, layout.optionalHeaderOffset + 92), 2u);
    EXPECT_EQ(layout.sectionTableOffset, layout.optionalHeaderOffset + 112);
    EXPECT_EQ(SectionName(image, layout.sectionTableOffset), std::string("ONE\0\0\0\0\0", 8));
}

TEST(PeImageBuilderTest, SectionCountOverrideKeepsRealTable) {
    Layout layout;
    const auto image = PeImageBuilder()
                           .NumberOfSectionsOverride(0xFFFF)
                           .AddSection({"A", {1}})
                           .AddSection({"B", {2}})
                           .Build(&layout);
    EXPECT_EQ(get16(image, layout.peOffset + 6), 0xFFFFu);
    ASSERT_EQ(layout.sections.size(), 2u);
    EXPECT_EQ(SectionName(image, layout.sectionTableOffset + 40)[0], 'B');
    EXPECT_EQ(image[layout.sections[1].rawOffset], 2);
}

TEST(PeImageBuilderTest, EntryPointOutsideEverySectionGetsItsOwnText) {
    Layout layout;
    const auto image = PeImageBuilder()
                           .EntryPoint(0x5000)
                           .EntryBytes({0xEB, 0xFE})
                           .AddSection({"DATA", {9, 9}})
                           .Build(&layout);
    ASSERT_EQ(layout.sections.size(), 2u);
    EXPECT_EQ(layout.sections[1].name, ".text");
    EXPECT_EQ(get32(image, layout.optionalHeaderOffset + 16), layout.sections[1].virtualAddress);
    EXPECT_EQ(get16(image, layout.sections[1].rawOffset), 0xFEEBu);
}

TEST(PeImageBuilderTest, RawSizeSmallerThanDataCutsTheData) {
    Layout layout;
    const auto image = PeImageBuilder()
                           .FileAlignment(0x10)
                           .AddSection({"S", std::vector<uint8_t>(0x40, 0xAA), 0, 0, 0, 0x10})
                           .AddSection({"T", {0xBB}})
                           .Build(&layout);
    EXPECT_EQ(layout.sections[0].virtualSize, 0x40u);
    EXPECT_EQ(layout.sections[1].rawOffset, layout.sections[0].rawOffset + 0x10);
    EXPECT_EQ(image[layout.sections[1].rawOffset], 0xBB);
}

TEST(PeImageBuilderTest, PatchesAndTruncationApplyAfterLayout) {
    Layout layout;
    const auto image = PeImageBuilder()
                           .EntryBytes({0xC3})
                           .Overlay({1, 2, 3, 4})
                           .Patch(0x3C, {0xFF, 0xFF, 0, 0})
                           .Patch(0x10000, {0x77})
                           .Truncate(0x10001)
                           .Build(&layout);
    EXPECT_EQ(get32(image, 0x3C), 0xFFFFu);
    ASSERT_EQ(image.size(), 0x10001u);
    EXPECT_EQ(image[0x10000], 0x77);
    EXPECT_EQ(image[layout.overlayOffset], 1);

    const auto cut = PeImageBuilder().EntryBytes({0xC3}).Truncate(0x100).Build();
    EXPECT_EQ(cut.size(), 0x100u);
}

TEST(PeImageBuilderTest, DirectoryOverrideWinsOverGeneratedOne) {
    Layout layout;
    const auto image = PeImageBuilder()
                           .AddImport({"a.dll", {{"f"}}})
                           .DataDirectory(1, 0x12345678, 0x20)
                           .Build(&layout);
    EXPECT_EQ(get32(image, layout.dataDirectoryOffset + 8), 0x12345678u);
    EXPECT_EQ(get32(image, layout.dataDirectoryOffset + 12), 0x20u);
    // The IAT directory is still the builder's own.
    EXPECT_EQ(get32(image, layout.dataDirectoryOffset + 12 * 8),
              layout.sections[0].virtualAddress + 2 * 20 + 2 * 4);
}

TEST(PeImageBuilderTest, LaterResourceReplacesSameKeys) {
    Layout layout;
    const auto image = PeImageBuilder()
                           .AddResource({10, ""}, {1, ""}, {1})
                           .AddResource({10, ""}, {1, ""}, {2, 2})
                           .Build(&layout);
    ASSERT_EQ(layout.sections.size(), 1u);
    const uint32_t rsrc = layout.sections[0].rawOffset;
    // One type, one name, one language, then its data entry.
    EXPECT_EQ(get16(image, rsrc + 14), 1u);
    const uint32_t nameDir = get32(image, rsrc + 20) & 0x7FFFFFFF;
    EXPECT_EQ(get16(image, rsrc + nameDir + 14), 1u);
    const uint32_t langDir = get32(image, rsrc + nameDir + 20) & 0x7FFFFFFF;
    EXPECT_EQ(get16(image, rsrc + langDir + 14), 1u);
    const uint32_t entry = get32(image, rsrc + langDir + 20);
    EXPECT_EQ(get32(image, rsrc + entry + 4), 2u);
}

TEST(PeImageBuilderTest, IconImageIsDibWithMask) {
    const auto icon = petest::MakeIconImage(16, 0x40);
    EXPECT_EQ(icon.size(), 40u + 16 * 16 * 4 + 16 * 4);
    EXPECT_EQ(get32(icon, 8), 32u);
    EXPECT_EQ(get32(icon, 20), icon.size() - 40);
}

}  // namespace
