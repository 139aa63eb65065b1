#include <gtest/gtest.h>

#include <algorithm>

#include "pe_test_util.h"

using petest::get16;
using petest::get32;
using petest::PeImageBuilder;
using petest::put16;
using petest::put32;

namespace {

const std::vector<uint8_t> kBlobA = {'A', 'A', 'A', 'A', 'A', 'A'};
const std::vector<uint8_t> kBlobB = {'B', 'B', 'B'};

// Offsets of the pieces of the first type's first name in a one-type tree.
struct Tree {
    uint32_t root = 0;
    uint32_t typeEntry = 0;
    uint32_t nameDir = 0;
    uint32_t langDir = 0;
    uint32_t dataEntry = 0;
};

Tree Locate(const std::vector<uint8_t>& image, int rootOffset) {
    Tree t;
    t.root = static_cast<uint32_t>(rootOffset);
    t.typeEntry = t.root + 16;
    t.nameDir = t.root + (get32(image, t.typeEntry + 4) & 0x7FFFFFFF);
    t.langDir = t.root + (get32(image, t.nameDir + 16 + 4) & 0x7FFFFFFF);
    t.dataEntry = t.root + get32(image, t.langDir + 16 + 4);
    return t;
}

std::vector<uint8_t> OneRcData(Tree* tree, petest::Layout* layout = nullptr) {
    std::vector<uint8_t> image =
        PeImageBuilder().EntryBytes({0xC3}).AddResource({10, {}}, {1, {}}, kBlobA).Build(layout);
    CPEHelper helper;
    EXPECT_EQ(1, ParseImage(helper, image));
    *tree = Locate(image, helper.GetResourceOffset());
    return image;
}

TEST(ResourcesTest, GroupIconNameVisitsTypeFourteenOnly) {
    std::vector<uint8_t> icon = petest::MakeIconImage(16, 0x80);
    std::vector<uint8_t> image =
        PeImageBuilder().EntryBytes({0xC3}).AddIcon(1, icon).AddGroupIcon(7, {1}).Build();
    CPEHelper helper;
    ASSERT_EQ(1, ParseImage(helper, image));
    ASSERT_NE(nullptr, helper.GetResourceDirectory());
    EXPECT_EQ(image.data() + helper.GetResourceOffset(), helper.GetResourceDirectory());

    int result = 0;
    auto groups = CollectResources(helper, "RT_GROUP_ICON", &result);
    EXPECT_EQ(1, result);
    ASSERT_EQ(1u, groups.size());
    EXPECT_EQ(6u + 14u, groups[0].size());  // GRPICONDIR with one entry
    EXPECT_EQ(1u, get16(groups[0], 4));
    auto icons = CollectResources(helper, "RT_ICON", &result);
    ASSERT_EQ(1u, icons.size());
    EXPECT_EQ(icon, icons[0]);
    EXPECT_TRUE(CollectResources(helper, "RT_VERSION", &result).empty());
    EXPECT_EQ(1, result);
}

TEST(ResourcesTest, UnknownTypeNamesAnswerZeroWithoutCalling) {
    Tree tree;
    std::vector<uint8_t> image = OneRcData(&tree);
    CPEHelper helper;
    ASSERT_EQ(1, ParseImage(helper, image));
    for (const char* name : {"rt_rcdata", "RT_RCDATA ", "RT_MANIFEST", "RT_NEWBITMAP", "10", ""}) {
        int result = 7;
        EXPECT_TRUE(CollectResources(helper, name, &result).empty()) << name;
        EXPECT_EQ(0, result) << name;
    }
    EXPECT_EQ(0, helper.EnumResources(nullptr, nullptr, nullptr));
    EXPECT_EQ(1u, CollectResources(helper, "RT_RCDATA").size());
}

TEST(ResourcesTest, NoDirectoryAnswersZero) {
    std::vector<uint8_t> image = PeImageBuilder().EntryBytes({0xC3}).Build();
    CPEHelper helper;
    ASSERT_EQ(1, ParseImage(helper, image));
    int result = 7;
    EXPECT_TRUE(CollectResources(helper, "RT_ICON", &result).empty());
    EXPECT_EQ(0, result);
}

TEST(ResourcesTest, NonZeroCallbackAnswerStopsTheWalk) {
    std::vector<uint8_t> image = PeImageBuilder()
                                     .EntryBytes({0xC3})
                                     .AddResource({10, {}}, {1, {}}, kBlobA)
                                     .AddResource({10, {}}, {2, {}}, kBlobB)
                                     .Build();
    CPEHelper helper;
    ASSERT_EQ(1, ParseImage(helper, image));
    EXPECT_EQ(2u, CollectResources(helper, "RT_RCDATA").size());
    for (int answer : {1, -1}) {
        std::pair<int, int> state = {answer, 0};  // the callback's answer, its calls
        EXPECT_EQ(1, helper.EnumResources(
                         "RT_RCDATA",
                         [](const unsigned char*, int, void* user) {
                             auto* state = static_cast<std::pair<int, int>*>(user);
                             ++state->second;
                             return state->first;
                         },
                         &state));
        EXPECT_EQ(1, state.second) << answer;
    }
}

// Each of the twenty type names visits its own type only, among resources of every type
// number from 1 to 24.
TEST(ResourcesTest, EveryTypeNameVisitsItsOwnType) {
    PeImageBuilder builder;
    builder.EntryBytes({0xC3});
    for (uint8_t type = 1; type <= 24; ++type)
        builder.AddResource({type, {}}, {1, {}}, {type, type});
    const std::vector<uint8_t> image = builder.Build();
    CPEHelper helper;
    ASSERT_EQ(1, ParseImage(helper, image));
    const std::pair<const char*, uint8_t> names[] = {
        {"RT_CURSOR", 1},      {"RT_BITMAP", 2},        {"RT_ICON", 3},
        {"RT_MENU", 4},        {"RT_DIALOG", 5},        {"RT_STRING", 6},
        {"RT_FONTDIR", 7},     {"RT_FONT", 8},          {"RT_ACCELERATOR", 9},
        {"RT_RCDATA", 10},     {"RT_MESSAGETABLE", 11}, {"RT_GROUP_CURSOR", 12},
        {"RT_GROUP_ICON", 14}, {"RT_VERSION", 16},      {"RT_DLGINCLUDE", 17},
        {"RT_PLUGPLAY", 19},   {"RT_VXD", 20},          {"RT_ANICURSOR", 21},
        {"RT_ANIICON", 22},    {"RT_HTML", 23}};
    for (const auto& name : names) {
        const std::vector<std::vector<uint8_t>> expected = {{name.second, name.second}};
        EXPECT_EQ(expected, CollectResources(helper, name.first)) << name.first;
    }
}

// Only a name entry with the subdirectory flag leads to a language directory, and only a
// language entry without it leads to data; the type entry is followed either way.
TEST(ResourcesTest, SubdirectoryFlagAtEachLevel) {
    Tree tree;
    const std::vector<uint8_t> image = OneRcData(&tree);
    struct Case {
        uint32_t field;  // the offset field of the level's first entry
        bool flag;
        size_t found;
    } const cases[] = {{tree.typeEntry + 4, true, 1}, {tree.typeEntry + 4, false, 1},
                       {tree.nameDir + 20, true, 1},  {tree.nameDir + 20, false, 0},
                       {tree.langDir + 20, false, 1}, {tree.langDir + 20, true, 0}};
    for (const Case& c : cases) {
        std::vector<uint8_t> changed = image;
        const uint32_t offset = get32(image, c.field) & 0x7FFFFFFF;
        put32(changed, c.field, c.flag ? offset | 0x80000000u : offset);
        CPEHelper helper;
        ASSERT_EQ(1, ParseImage(helper, changed));
        EXPECT_EQ(c.found, CollectResources(helper, "RT_RCDATA").size()) << c.field << c.flag;
    }
}

// The id-entry count is applied from the first entry on: with one named and one id
// entry, only the named one is visited.
TEST(ResourcesTest, NamedEntriesCountAgainstTheIdEntryCount) {
    std::vector<uint8_t> image = PeImageBuilder()
                                     .EntryBytes({0xC3})
                                     .AddResource({10, {}}, {0, "FIRST"}, kBlobA)
                                     .AddResource({10, {}}, {5, {}}, kBlobB)
                                     .Build();
    CPEHelper helper;
    ASSERT_EQ(1, ParseImage(helper, image));
    auto found = CollectResources(helper, "RT_RCDATA");
    ASSERT_EQ(1u, found.size());
    EXPECT_EQ(kBlobA, found[0]);
}

TEST(ResourcesTest, DataEndingExactlyAtTheEndIsReportedOneBytePastIsNot) {
    Tree tree;
    std::vector<uint8_t> image = OneRcData(&tree);
    CPEHelper helper;
    ASSERT_EQ(1, ParseImage(helper, image));
    const uint32_t dataRva = get32(image, tree.dataEntry);
    const int dataOffset = helper.RvaToOffset(dataRva, kNoOffsetLimit, nullptr);
    ASSERT_GT(dataOffset, 0);
    ASSERT_GT(static_cast<uint32_t>(dataOffset), tree.dataEntry);

    std::vector<uint8_t> exact(image.begin(), image.begin() + dataOffset + 6);
    ASSERT_EQ(1, ParseImage(helper, exact));
    auto found = CollectResources(helper, "RT_RCDATA");
    ASSERT_EQ(1u, found.size());
    EXPECT_EQ(kBlobA, found[0]);

    std::vector<uint8_t> cut(image.begin(), image.begin() + dataOffset + 5);
    ASSERT_EQ(1, ParseImage(helper, cut));
    int result = 0;
    EXPECT_TRUE(CollectResources(helper, "RT_RCDATA", &result).empty());
    EXPECT_EQ(1, result);
}

// The type entry's and the first name entry's offsets may equal SizeOfImage, not exceed
// it. Each is made the larger of the two in turn: as built the name entry's is, and with
// the name directory moved behind the language directory the type entry's is.
TEST(ResourcesTest, DirectoryOffsetsUpToSizeOfImage) {
    for (bool moveNames : {false, true}) {
        Tree tree;
        petest::Layout layout;
        std::vector<uint8_t> image = OneRcData(&tree, &layout);
        if (moveNames) {
            const uint32_t moved = tree.root + 0x100;
            ASSERT_LT(moved + 24, image.size());
            petest::putBytes(image, moved,
                             std::vector<uint8_t>(image.begin() + tree.nameDir,
                                                  image.begin() + tree.nameDir + 24));
            put32(image, tree.typeEntry + 4, 0x80000000u | (moved - tree.root));
        }
        const uint32_t limit = std::max(get32(image, tree.typeEntry + 4) & 0x7FFFFFFF,
                                        get32(image, tree.nameDir + 20) & 0x7FFFFFFF);
        for (uint32_t sizeOfImage : {limit, limit - 1}) {
            put32(image, layout.optionalHeaderOffset + 56, sizeOfImage);
            CPEHelper helper;
            ASSERT_EQ(1, ParseImage(helper, image));
            EXPECT_EQ(sizeOfImage == limit ? 1u : 0u, CollectResources(helper, "RT_RCDATA").size())
                << moveNames << " " << std::hex << sizeOfImage;
        }
    }
}

TEST(ResourcesTest, HugeOffsetsAndSizesCountAsAbsent) {
    Tree tree;
    const std::vector<uint8_t> image = OneRcData(&tree);
    struct Damage {
        uint32_t at;
        uint32_t value;
    };
    const Damage damages[] = {
        {tree.typeEntry + 4, 0xFFFFFFFF}, {tree.typeEntry + 4, 0x7FFFFFFF},
        {tree.nameDir + 20, 0xFFFFFFFF},  {tree.nameDir + 20, 0x7FFFFFFF},
        {tree.langDir + 20, 0xFFFFFFFF},  {tree.langDir + 20, 0x7FFFFFFF},
        {tree.dataEntry, 0xFFFFFFFF},     {tree.dataEntry, 0x7FFFFFFF},
        {tree.dataEntry + 4, 0xFFFFFFFF}, {tree.dataEntry + 4, 0x7FFFFFFF},
    };
    for (const Damage& d : damages) {
        std::vector<uint8_t> bad = image;
        put32(bad, d.at, d.value);
        CPEHelper helper;
        ASSERT_EQ(1, ParseImage(helper, bad));
        int result = 7;
        EXPECT_TRUE(CollectResources(helper, "RT_RCDATA", &result).empty())
            << std::hex << d.at << " " << d.value;
        EXPECT_EQ(1, result);
    }
}

TEST(ResourcesTest, RootEntriesRunningPastTheImageEndTheWalkWithZero) {
    Tree tree;
    std::vector<uint8_t> image = OneRcData(&tree);
    put16(image, tree.root + 12, 0xFFFF);  // named entries the file cannot hold
    CPEHelper helper;
    ASSERT_EQ(1, ParseImage(helper, image));
    int result = 7;
    CollectResources(helper, "RT_ICON", &result);
    EXPECT_EQ(0, result);
}

TEST(ResourcesTest, HugeNameCountIsBoundedByTheImage) {
    Tree tree;
    std::vector<uint8_t> image = OneRcData(&tree);
    put16(image, tree.nameDir + 14, 0xFFFF);
    CPEHelper helper;
    ASSERT_EQ(1, ParseImage(helper, image));
    int result = 0;
    auto found = CollectResources(helper, "RT_RCDATA", &result);
    EXPECT_EQ(1, result);
    EXPECT_GE(found.size(), 1u);
}

TEST(ResourcesTest, RootDirectoryMustFitInsideTheImage) {
    Tree tree;
    std::vector<uint8_t> image = OneRcData(&tree);
    std::vector<uint8_t> exact(image.begin(), image.begin() + tree.root + 16);
    CPEHelper helper;
    ASSERT_EQ(1, ParseImage(helper, exact));
    EXPECT_NE(nullptr, helper.GetResourceDirectory());
    int result = 7;
    CollectResources(helper, "RT_RCDATA", &result);
    EXPECT_EQ(0, result);  // its first entry lies past the end

    std::vector<uint8_t> cut(image.begin(), image.begin() + tree.root + 15);
    ASSERT_EQ(1, ParseImage(helper, cut));
    EXPECT_NE(-1, helper.GetResourceOffset());
    EXPECT_EQ(nullptr, helper.GetResourceDirectory());
    EXPECT_EQ(0, helper.EnumResources("RT_RCDATA", nullptr, nullptr));
}

}  // namespace
