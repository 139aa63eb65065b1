#include <gtest/gtest.h>

#include <algorithm>

#include "pe_test_util.h"

using petest::get32;
using petest::ImportDll;
using petest::PeImageBuilder;
using petest::put32;

namespace {

const petest::Section& SectionNamed(const petest::Layout& layout, const std::string& name) {
    for (const petest::Section& s : layout.sections) {
        if (s.name == name) return s;
    }
    static petest::Section none;
    ADD_FAILURE() << "no section " << name;
    return none;
}

std::string DllName(CPEHelper& helper, int i) {
    char name[kMaxImportNameLength + 1];
    std::fill(name, name + sizeof(name), 'x');  // the answer brings its own terminator
    return helper.GetImportDllName(0, i, name) ? name : "(none)";
}

std::vector<ImportDll> TwoDlls() {
    return {{"KERNEL32.dll", {{"ExitProcess", 0x11}, {"", 0, true, 0x2A}, {"Sleep", 0x22}}},
            {"USER32.dll", {{"MessageBoxA", 0x33}}}};
}

TEST(ImportsTest, ReadsDllsFunctionsHintsAndOrdinals) {
    CPEHelper helper;
    std::vector<uint8_t> image =
        PeImageBuilder().EntryBytes({0xC3}).AddImport(TwoDlls()[0]).AddImport(TwoDlls()[1]).Build();
    ASSERT_EQ(1, ParseImage(helper, image));
    ASSERT_NE(-1, helper.GetImportOffset());
    ASSERT_EQ(2, helper.GetImportDllCount(0));
    EXPECT_EQ("KERNEL32.dll", DllName(helper, 0));
    EXPECT_EQ("USER32.dll", DllName(helper, 1));
    ASSERT_EQ(3, helper.GetImportFuncCount(0, 0));
    EXPECT_EQ(1, helper.GetImportFuncCount(0, 1));
    EXPECT_EQ(4, helper.GetTotalImportCount());

    const ImportFunc* exitProcess = helper.GetImportFunc(0, 0, 0);
    ASSERT_NE(nullptr, exitProcess);
    EXPECT_STREQ("ExitProcess", exitProcess->name);
    EXPECT_EQ(0x11u, exitProcess->hintOrOrdinal);
    ASSERT_GT(exitProcess->nameOffset, 0);
    EXPECT_EQ(0x11, image[static_cast<size_t>(exitProcess->nameOffset)]);
    EXPECT_EQ('E', image[static_cast<size_t>(exitProcess->nameOffset) + 2]);

    const ImportFunc* ordinal = helper.GetImportFunc(0, 0, 1);
    ASSERT_NE(nullptr, ordinal);
    EXPECT_STREQ("", ordinal->name);
    EXPECT_EQ(0x2Au, ordinal->hintOrOrdinal);
    EXPECT_STREQ("Sleep", helper.GetImportFunc(0, 0, 2)->name);
}

TEST(ImportsTest, OutOfRangeIndexesAndTheSecondListAnswerNothing) {
    CPEHelper helper;
    std::vector<uint8_t> image =
        PeImageBuilder().EntryBytes({0xC3}).AddImport(TwoDlls()[0]).Build();
    ASSERT_EQ(1, ParseImage(helper, image));
    char name[kMaxImportNameLength + 1] = "untouched";
    EXPECT_EQ(0, helper.GetImportDllName(0, -1, name));
    EXPECT_EQ(0, helper.GetImportDllName(0, 1, name));
    EXPECT_STREQ("untouched", name);
    EXPECT_EQ(0, helper.GetImportFuncCount(0, 1));
    EXPECT_EQ(0, helper.GetImportFuncCount(0, -1));
    EXPECT_EQ(nullptr, helper.GetImportFunc(0, 0, 3));
    EXPECT_EQ(nullptr, helper.GetImportFunc(0, 0, -1));
    EXPECT_EQ(nullptr, helper.GetImportFunc(0, 1, 0));
    for (int list : {1, -1, 7}) {
        EXPECT_EQ(0, helper.GetImportDllCount(list));
        EXPECT_EQ(0, helper.GetImportDllName(list, 0, name));
        EXPECT_EQ(0, helper.GetImportFuncCount(list, 0));
        EXPECT_EQ(nullptr, helper.GetImportFunc(list, 0, 0));
    }
}

TEST(ImportsTest, OrdinalThunkKeepsTheLow24Bits) {
    CPEHelper helper;
    petest::Layout layout;
    std::vector<uint8_t> image =
        PeImageBuilder().EntryBytes({0xC3}).AddImport({"A.dll", {{"", 0, true, 1}}}).Build(&layout);
    const petest::Section& idata = SectionNamed(layout, ".idata");
    const uint32_t ilt = get32(image, idata.rawOffset) - idata.virtualAddress + idata.rawOffset;
    put32(image, ilt, 0x80ABCDEF);
    ASSERT_EQ(1, ParseImage(helper, image));
    ASSERT_EQ(1, helper.GetImportFuncCount(0, 0));
    EXPECT_EQ(0xABCDEFu, helper.GetImportFunc(0, 0, 0)->hintOrOrdinal);
}

// Descriptors, lookup tables and hint/name entries whose RVAs lead nowhere are skipped;
// the rest of the table is still read.
TEST(ImportsTest, SkipsPiecesThatLeadOutsideTheImage) {
    petest::Layout layout;
    PeImageBuilder builder;
    builder.EntryBytes({0xC3});
    for (const char* dll : {"A.dll", "B.dll", "C.dll", "D.dll"}) {
        builder.AddImport({dll, {{"One", 1}, {"Two", 2}}});
    }
    std::vector<uint8_t> image = builder.Build(&layout);
    const uint32_t d = SectionNamed(layout, ".idata").rawOffset;
    put32(image, d + 0 * 20 + 12, 0x7FFFFFFF);  // A: name RVA in no section
    put32(image, d + 1 * 20 + 0, 0xFFFFFFFF);   // B: lookup table RVA in no section
    const uint32_t idataVa = SectionNamed(layout, ".idata").virtualAddress;
    const uint32_t cIlt = get32(image, d + 2 * 20) - idataVa + d;
    put32(image, cIlt, 0x7FFFFFF0);  // C: first function's hint/name RVA in no section

    CPEHelper helper;
    ASSERT_EQ(1, ParseImage(helper, image));
    ASSERT_EQ(2, helper.GetImportDllCount(0));
    EXPECT_EQ("C.dll", DllName(helper, 0));
    ASSERT_EQ(1, helper.GetImportFuncCount(0, 0));
    EXPECT_STREQ("Two", helper.GetImportFunc(0, 0, 0)->name);
    EXPECT_EQ("D.dll", DllName(helper, 1));
    EXPECT_EQ(2, helper.GetImportFuncCount(0, 1));
}

// The descriptor array ends at the first descriptor whose FirstThunk is 0, whatever its
// lookup-table field holds; a lookup-table field of 0 alone leads nowhere (RVA 0 lies in
// no section) and only that descriptor is skipped.
TEST(ImportsTest, FirstThunkEndsTheArrayALookupTableOfZeroSkipsOne) {
    constexpr uint32_t kKeep = 1;
    struct Case {
        uint32_t lookup, first;  // the middle descriptor's fields at 0 and 16
        std::vector<std::string> dlls;
    } const cases[] = {{kKeep, kKeep, {"A.dll", "B.dll", "C.dll"}},
                       {0, kKeep, {"A.dll", "C.dll"}},
                       {kKeep, 0, {"A.dll"}},
                       {0, 0, {"A.dll"}}};
    for (const Case& c : cases) {
        petest::Layout layout;
        PeImageBuilder builder;
        builder.EntryBytes({0xC3});
        for (const char* dll : {"A.dll", "B.dll", "C.dll"}) builder.AddImport({dll, {{"F", 1}}});
        std::vector<uint8_t> image = builder.Build(&layout);
        const uint32_t middle = SectionNamed(layout, ".idata").rawOffset + 20;
        if (c.lookup != kKeep) put32(image, middle, c.lookup);
        if (c.first != kKeep) put32(image, middle + 16, c.first);
        CPEHelper helper;
        ASSERT_EQ(1, ParseImage(helper, image));
        std::vector<std::string> dlls;
        for (int i = 0; i < helper.GetImportDllCount(0); ++i) dlls.push_back(DllName(helper, i));
        EXPECT_EQ(c.dlls, dlls) << c.lookup << " " << c.first;
    }
}

TEST(ImportsTest, SkipsNamesBeyondSizeOfImage) {
    petest::Layout layout;
    std::vector<uint8_t> image =
        PeImageBuilder().EntryBytes({0xC3}).AddImport(TwoDlls()[1]).Build(&layout);
    const petest::Section& idata = SectionNamed(layout, ".idata");
    const uint32_t nameOffset =
        get32(image, idata.rawOffset + 12) - idata.virtualAddress + idata.rawOffset;
    CPEHelper helper;
    // SizeOfImage just at the name's offset keeps it, one below drops the DLL.
    put32(image, layout.optionalHeaderOffset + 56, nameOffset);
    ASSERT_EQ(1, ParseImage(helper, image));
    EXPECT_EQ(1, helper.GetImportDllCount(0));
    put32(image, layout.optionalHeaderOffset + 56, nameOffset - 1);
    ASSERT_EQ(1, ParseImage(helper, image));
    EXPECT_EQ(0, helper.GetImportDllCount(0));
}

TEST(ImportsTest, SecondParseHoldsOnlyItsOwnDlls) {
    CPEHelper helper;
    std::vector<uint8_t> first =
        PeImageBuilder().EntryBytes({0xC3}).AddImport(TwoDlls()[0]).AddImport(TwoDlls()[1]).Build();
    std::vector<uint8_t> second =
        PeImageBuilder().EntryBytes({0xC3}).AddImport({"WS2_32.dll", {{"send", 5}}}).Build();
    ASSERT_EQ(1, ParseImage(helper, first));
    ASSERT_EQ(2, helper.GetImportDllCount(0));
    ASSERT_EQ(1, ParseImage(helper, second));
    ASSERT_EQ(1, helper.GetImportDllCount(0));
    EXPECT_EQ("WS2_32.dll", DllName(helper, 0));
    EXPECT_EQ(1, helper.GetTotalImportCount());

    std::vector<uint8_t> notPe(300, 0);
    EXPECT_EQ(0, ParseImage(helper, notPe));
    EXPECT_EQ(0, helper.GetImportDllCount(0));
}

// A descriptor table cut by the end of the file: the piece that runs past the end is
// absent, and a name the file ends inside is absent too.
TEST(ImportsTest, TableEndingAtTheEndOfTheImage) {
    petest::Layout layout;
    std::vector<uint8_t> image =
        PeImageBuilder().EntryBytes({0xC3}).AddImport({"A.dll", {{"F", 1}}}).Build(&layout);
    const petest::Section& idata = SectionNamed(layout, ".idata");
    // Move the directory onto the last 20 bytes of the file: one full descriptor, no
    // terminator. It reuses A's descriptor fields.
    std::vector<uint8_t> descriptor(image.begin() + idata.rawOffset,
                                    image.begin() + idata.rawOffset + 20);
    petest::putBytes(image, image.size(), descriptor);
    const uint32_t last = static_cast<uint32_t>(image.size()) - 20;
    // Extend .idata's raw size over the appended bytes so the RVA maps there.
    const uint32_t header = layout.sectionTableOffset + 40 * 1;
    ASSERT_EQ(idata.rawOffset, get32(image, header + 20));
    put32(image, header + 16, last + 20 - idata.rawOffset);
    const uint32_t dirRva = idata.virtualAddress + (last - idata.rawOffset);
    put32(image, layout.dataDirectoryOffset + 8, dirRva);

    CPEHelper helper;
    ASSERT_EQ(1, ParseImage(helper, image));
    EXPECT_EQ(static_cast<int>(last), helper.GetImportOffset());
    EXPECT_EQ(1, helper.GetImportDllCount(0));

    image.pop_back();  // the one descriptor now runs past the end
    put32(image, header + 16, last + 19 - idata.rawOffset);
    ASSERT_EQ(1, ParseImage(helper, image));
    EXPECT_EQ(0, helper.GetImportDllCount(0));
}

TEST(ImportsTest, NamesRunningPastTheEndAreAbsentAndLongNamesAreCut) {
    const std::string longName(400, 'x');
    petest::Layout layout;
    std::vector<uint8_t> image =
        PeImageBuilder().EntryBytes({0xC3}).AddImport({"A.dll", {{longName, 1}}}).Build(&layout);
    CPEHelper helper;
    ASSERT_EQ(1, ParseImage(helper, image));
    ASSERT_EQ(1, helper.GetImportFuncCount(0, 0));
    EXPECT_EQ(std::string(kMaxImportNameLength, 'x'), helper.GetImportFunc(0, 0, 0)->name);

    // Cut the file inside the long name: the thunk goes, the DLL stays.
    const ImportFunc* func = helper.GetImportFunc(0, 0, 0);
    const size_t cut = static_cast<size_t>(func->nameOffset) + 2 + 100;
    std::vector<uint8_t> cutImage(image.begin(), image.begin() + static_cast<long>(cut));
    ASSERT_EQ(1, ParseImage(helper, cutImage));
    ASSERT_EQ(1, helper.GetImportDllCount(0));
    EXPECT_EQ(0, helper.GetImportFuncCount(0, 0));
}

// Every descriptor may point at the same long lookup table; the walk stays bounded.
TEST(ImportsTest, SharedLookupTablesStayBounded) {
    std::vector<petest::ImportFunction> many(2000, {"F", 1});
    petest::Layout layout;
    std::vector<uint8_t> image =
        PeImageBuilder().EntryBytes({0xC3}).AddImport({"A.dll", many}).Build(&layout);
    const petest::Section& idata = SectionNamed(layout, ".idata");
    // Overwrite the lookup table's start with copies of A's descriptor (none has a zero
    // FirstThunk), so the walk meets hundreds of descriptors sharing one table.
    std::vector<uint8_t> descriptor(image.begin() + idata.rawOffset,
                                    image.begin() + idata.rawOffset + 20);
    const uint32_t ilt = get32(image, idata.rawOffset) - idata.virtualAddress + idata.rawOffset;
    const uint32_t moved = ilt + 500 * 20;
    for (uint32_t i = 0; i < 500; ++i)
        petest::putBytes(image, idata.rawOffset + 20 * i, descriptor);
    for (uint32_t i = 0; i < 500; ++i) {
        put32(image, idata.rawOffset + 20 * i, moved - idata.rawOffset + idata.virtualAddress);
    }
    CPEHelper helper;
    ASSERT_EQ(1, ParseImage(helper, image));
    EXPECT_LE(helper.GetTotalImportCount(), kMaxImportThunks);
    EXPECT_GT(helper.GetImportDllCount(0), 1);
    EXPECT_LE(helper.GetImportDllCount(0), kMaxImportDlls);
}

TEST(ImportsTest, HugeImportDirectoryRvaMeansNoImports) {
    for (uint32_t rva : {0xFFFFFFFFu, 0x7FFFFFFFu}) {
        std::vector<uint8_t> image = PeImageBuilder()
                                         .EntryBytes({0xC3})
                                         .AddImport(TwoDlls()[0])
                                         .DataDirectory(1, rva, 40)
                                         .Build();
        CPEHelper helper;
        ASSERT_EQ(1, ParseImage(helper, image));
        EXPECT_EQ(-1, helper.GetImportOffset());
        EXPECT_EQ(0, helper.GetImportDllCount(0));
    }
}

}  // namespace
