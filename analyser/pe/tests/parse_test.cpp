#include <chrono>
#include <random>

#include <gtest/gtest.h>

#include "pe_test_util.h"

using petest::PeImageBuilder;
using petest::put16;
using petest::put32;
using petest::Section;

namespace {

constexpr uint32_t kLfanew = 0x80;
constexpr uint32_t kNtHeadersSize = 248;

// The smallest bytes Parse accepts: "MZ", e_lfanew and 248 bytes of NT headers.
std::vector<uint8_t> MinimalImage(uint32_t lfanew = kLfanew) {
    std::vector<uint8_t> image(lfanew + kNtHeadersSize, 0);
    image[0] = 'M';
    image[1] = 'Z';
    put32(image, 60, lfanew);
    put32(image, lfanew, 0x4550);
    return image;
}

TEST(ParseTest, AcceptsNtHeadersEndingExactlyAtTheEnd) {
    CPEHelper helper;
    std::vector<uint8_t> image = MinimalImage();
    EXPECT_EQ(1, ParseImage(helper, image));
    EXPECT_EQ(static_cast<int>(kLfanew), helper.GetNtHeaderOffset());
    EXPECT_EQ(0, helper.GetDosHeaderOffset());

    image.pop_back();  // one byte of the optional header missing
    EXPECT_EQ(0, ParseImage(helper, image));
}

TEST(ParseTest, RefusesWhatIsNoPeImage) {
    CPEHelper helper;
    std::vector<uint8_t> image = MinimalImage();
    EXPECT_EQ(0, helper.Parse(image.data(), 63));
    EXPECT_EQ(0, helper.Parse(nullptr, 400));
    EXPECT_EQ(0, helper.Parse(image.data(), -5));

    std::vector<uint8_t> bad = image;
    bad[1] = 'X';
    EXPECT_EQ(0, ParseImage(helper, bad));
    bad = image;
    put32(bad, kLfanew, 0x454E);  // "NE"
    EXPECT_EQ(0, ParseImage(helper, bad));
    for (uint32_t lfanew :
         {0xFFFFFFFFu, 0x7FFFFFFFu, 0x80000000u, static_cast<uint32_t>(image.size())}) {
        bad = image;
        put32(bad, 60, lfanew);
        EXPECT_EQ(0, ParseImage(helper, bad)) << std::hex << lfanew;
    }
}

TEST(ParseTest, CopiesHeaderValues) {
    CPEHelper helper;
    petest::Layout layout;
    std::vector<uint8_t> image = PeImageBuilder()
                                     .EntryBytes({0x90, 0xC3})
                                     .AddSection({".data", std::vector<uint8_t>(0x300, 1)})
                                     .Build(&layout);
    put32(image, layout.optionalHeaderOffset + 4, 0x1234);   // SizeOfCode
    put32(image, layout.optionalHeaderOffset + 20, 0x5000);  // BaseOfCode
    put32(image, layout.optionalHeaderOffset + 24, 0x6000);  // BaseOfData
    ASSERT_EQ(1, ParseImage(helper, image));
    EXPECT_EQ(2, helper.GetSectionCount());
    EXPECT_EQ(0x1234, helper.GetSizeOfCode());
    EXPECT_EQ(0x5000, helper.GetBaseOfCode());
    EXPECT_EQ(0x6000, helper.GetBaseOfData());
    EXPECT_EQ(static_cast<int>(layout.sizeOfImage), helper.GetSizeOfImage());
    EXPECT_EQ(-1, helper.GetImportOffset());
    EXPECT_EQ(-1, helper.GetExportOffset());
    EXPECT_EQ(-1, helper.GetResourceOffset());
    EXPECT_EQ(nullptr, helper.GetResourceDirectory());
    for (size_t i = 0; i < layout.sections.size(); ++i) {
        if (layout.sections[i].name != ".text") continue;
        EXPECT_EQ(static_cast<int>(layout.sections[i].rawOffset), helper.GetEntryOffset());
        EXPECT_EQ(static_cast<int>(i), helper.GetEntrySectionIndex());
    }
}

TEST(ParseTest, ReadsOnlySectionHeadersThatLieInsideTheImage) {
    CPEHelper helper;
    std::vector<uint8_t> image = MinimalImage();
    put16(image, kLfanew + 6, 0xFFFF);
    image.resize(image.size() + 2 * 40 + 39);  // two headers and most of a third
    put32(image, kLfanew + kNtHeadersSize + 12, 0x1000);
    put32(image, kLfanew + kNtHeadersSize + 16, 0x200);
    put32(image, kLfanew + kNtHeadersSize + 20, 0x400);
    ASSERT_EQ(1, ParseImage(helper, image));
    EXPECT_EQ(0xFFFF, helper.GetSectionCount());
    ASSERT_EQ(2u, helper.sections().size());
    EXPECT_EQ(0x1000u, helper.sections()[0].virtualAddress);
    EXPECT_EQ(0x200u, helper.sections()[0].rawSize);
    EXPECT_EQ(0x400u, helper.sections()[0].rawOffset);
}

TEST(ParseTest, EntryPointInNoSectionKeepsTheRawRva) {
    CPEHelper helper;
    petest::Layout layout;
    std::vector<uint8_t> image = PeImageBuilder().EntryBytes({0x6A, 0x00}).Build(&layout);
    put32(image, layout.optionalHeaderOffset + 16, 0x00FFFFF0);  // AddressOfEntryPoint
    ASSERT_EQ(1, ParseImage(helper, image));
    EXPECT_EQ(0x00FFFFF0, helper.GetEntryOffset());
    EXPECT_EQ(-1, helper.GetEntrySectionIndex());
    EXPECT_EQ(nullptr, helper.FindPackerName());
    EXPECT_EQ(nullptr, helper.FindCompilerName());
}

TEST(ParseTest, ResetClearsHeaderValuesButKeepsEntryOffsetAndLists) {
    CPEHelper helper;
    std::vector<uint8_t> image =
        PeImageBuilder()
            .EntryBytes({0x6A, 0x00, 0xFF, 0x15, 1, 2, 3, 0x00, 0xA3, 4, 5, 6, 0x00})
            .AddImport({"KERNEL32.dll", {{"ExitProcess", 7}}})
            .AddIcon(1, petest::MakeIconImage(16, 0x40))
            .Build();
    ASSERT_EQ(1, ParseImage(helper, image));
    const int entry = helper.GetEntryOffset();
    ASSERT_NE(-1, helper.GetResourceOffset());
    ASSERT_EQ(1, helper.Reset());

    EXPECT_EQ(0, helper.GetNtHeaderOffset());
    EXPECT_EQ(0, helper.GetSectionCount());
    EXPECT_EQ(0, helper.GetSizeOfImage());
    EXPECT_EQ(0, helper.GetImportOffset());
    EXPECT_EQ(0, helper.GetExportOffset());
    EXPECT_EQ(-1, helper.GetResourceOffset());
    EXPECT_EQ(0, helper.GetEntrySectionIndex());  // no longer parsed
    EXPECT_EQ(entry, helper.GetEntryOffset());
    EXPECT_EQ(1, helper.GetImportDllCount(0));
    EXPECT_EQ(1, helper.GetTotalImportCount());
    EXPECT_FALSE(helper.sections().empty());
    EXPECT_EQ("FASM 1.3x", SafeText(helper.FindPackerName()));
}

// A content that is no PE image must not be judged by the entry point of the image
// analysed before it.
TEST(ParseTest, FailedParseLeavesSignatureSearchesFindingNothing) {
    CPEHelper helper;
    const std::vector<uint8_t> fasm = {0x6A, 0x00, 0xFF, 0x15, 1, 2, 3, 0x00, 0xA3, 4, 5, 6, 0x00};
    std::vector<uint8_t> image = PeImageBuilder().EntryBytes(fasm).Build();
    ASSERT_EQ(1, ParseImage(helper, image));
    ASSERT_EQ("FASM 1.3x", SafeText(helper.FindPackerName()));
    const int entry = helper.GetEntryOffset();
    helper.Reset();

    // Same bytes at the same offset, but the headers are broken.
    std::vector<uint8_t> notPe = image;
    notPe[0] = 'Z';
    EXPECT_EQ(0, ParseImage(helper, notPe));
    EXPECT_EQ(-1, helper.GetEntryOffset());
    EXPECT_EQ(nullptr, helper.FindPackerName());
    EXPECT_EQ(nullptr, helper.FindCompilerName());
    EXPECT_NE(-1, entry);
}

TEST(RvaToOffsetTest, LimitRefusesOffsetsButStillNamesTheSection) {
    CPEHelper helper;
    std::vector<uint8_t> image = MinimalImage();
    put16(image, kLfanew + 6, 3);
    auto header = [&](int i, uint32_t va, uint32_t rawSize, uint32_t rawOffset) {
        const uint32_t at = kLfanew + kNtHeadersSize + 40 * i;
        put32(image, at + 12, va);
        put32(image, at + 16, rawSize);
        put32(image, at + 20, rawOffset);
    };
    header(0, 0x1000, 0x200, 0x400);
    header(1, 0x1100, 0x400, 0x800);  // overlaps section 0; section 0 wins there
    header(2, 0xFFFFFF00, 0x100, 0xFFFFFFF0);
    image.resize(0x1000);
    ASSERT_EQ(1, ParseImage(helper, image));

    int index = 7;
    EXPECT_EQ(0x400, helper.RvaToOffset(0x1000, kNoOffsetLimit, &index));
    EXPECT_EQ(0, index);
    EXPECT_EQ(0x5FF, helper.RvaToOffset(0x11FF, kNoOffsetLimit, &index));
    EXPECT_EQ(0, index);
    EXPECT_EQ(0x900, helper.RvaToOffset(0x1200, kNoOffsetLimit, &index));
    EXPECT_EQ(1, index);
    EXPECT_EQ(-1, helper.RvaToOffset(0x1500, kNoOffsetLimit, &index));
    EXPECT_EQ(-1, index);

    // Below the limit / at it.
    EXPECT_EQ(0x900, helper.RvaToOffset(0x1200, 0x901, &index));
    EXPECT_EQ(-1, helper.RvaToOffset(0x1200, 0x900, &index));
    EXPECT_EQ(1, index);
    EXPECT_EQ(-1, helper.RvaToOffset(0x1200, 0, nullptr));

    // Offsets wider than an int are no offsets of any image.
    EXPECT_EQ(-1, helper.RvaToOffset(0xFFFFFFFF, kNoOffsetLimit, &index));
    EXPECT_EQ(2, index);
    EXPECT_EQ(-1, helper.RvaToOffset(0x7FFFFFFF, kNoOffsetLimit, &index));
    EXPECT_EQ(-1, index);
}

// The range index must agree with the plain first-match walk over the table.
TEST(SectionMapTest, AgreesWithAWalkOverTheTable) {
    std::mt19937 random(20261207);
    for (int round = 0; round < 200; ++round) {
        std::vector<SectionEntry> sections(random() % 12);
        for (SectionEntry& s : sections) {
            s.virtualAddress = random() % 64;
            s.rawSize = random() % 24;
            s.rawOffset = random() % 1000;
            if (random() % 8 == 0) s.virtualAddress = 0xFFFFFFF0u;
        }
        SectionMap map;
        map.Assign(sections);
        for (uint64_t rva = 0; rva < 100; ++rva) {
            for (uint32_t probe :
                 {static_cast<uint32_t>(rva), 0xFFFFFFA0u + static_cast<uint32_t>(rva)}) {
                int expected = -1;
                for (size_t i = 0; i < sections.size() && expected < 0; ++i) {
                    const uint64_t va = sections[i].virtualAddress;
                    if (va <= probe && probe < va + sections[i].rawSize)
                        expected = static_cast<int>(i);
                }
                const SectionHit hit = map.Find(probe);
                ASSERT_EQ(expected, hit.index) << "round " << round << " rva " << probe;
                if (expected >= 0) {
                    const SectionEntry& s = sections[static_cast<size_t>(expected)];
                    EXPECT_EQ(static_cast<int64_t>(probe - s.virtualAddress) + s.rawOffset,
                              hit.offset);
                }
            }
        }
    }
}

TEST(ParseTest, ManyDeclaredSectionsStayFast) {
    // 65535 disjoint sections, and two million lookups of RVAs in the last ones: a lookup
    // that walks the table takes most of a minute here, the map a tenth of a second.
    CPEHelper helper;
    std::vector<uint8_t> image = MinimalImage();
    put16(image, kLfanew + 6, 0xFFFF);
    image.resize(kLfanew + kNtHeadersSize + 40u * 0xFFFF);
    for (uint32_t i = 0; i < 0xFFFF; ++i) {
        const uint32_t at = kLfanew + kNtHeadersSize + 40 * i;
        put32(image, at + 12, 0x1000 + 16 * i);
        put32(image, at + 16, 16);
        put32(image, at + 20, i);
    }
    ASSERT_EQ(1, ParseImage(helper, image));
    EXPECT_EQ(0xFFFFu, helper.sections().size());
    const auto start = std::chrono::steady_clock::now();
    int64_t sum = 0;
    for (uint32_t i = 0; i < (1u << 21); ++i) {
        const uint32_t section = 0xFFFF - 1 - (i & 0xFF);
        sum += helper.RvaToOffset(0x1000 + 16 * section + (i & 15), kNoOffsetLimit, nullptr);
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_LT(seconds, 5.0);
    // Each lookup found its section: offset = section index + the RVA's place in it.
    int64_t expected = 0;
    for (uint32_t i = 0; i < (1u << 21); ++i) expected += 0xFFFF - 1 - (i & 0xFF) + (i & 15);
    EXPECT_EQ(expected, sum);
}

}  // namespace
