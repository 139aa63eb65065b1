#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "data_provider.h"
#include "path_split.h"

namespace {

void SetPathText(CDataProvider& record, const char* text) {
    record.SetPath(&text);
}

TEST(DataProviderTest, NewRecordHasNothingSet) {
    CDataProvider record(7);
    EXPECT_EQ(record.GetId(), 7);
    EXPECT_EQ(record.GetFileSize(), -1);
    EXPECT_EQ(record.GetContent(0, 0), nullptr);
    EXPECT_STREQ(record.GetPath(), "");
    EXPECT_STREQ(record.GetProviderName(), "FileProvidor");
    EXPECT_EQ(record.GetTag(), -1);
    EXPECT_EQ(*record.GetStamp(), 0u);
    EXPECT_EQ(*record.GetCreateTime(), 0);
    EXPECT_STREQ(record.GetBaseName(), "");
    EXPECT_STREQ(record.GetExtName(), "");
}

TEST(DataProviderTest, NullPathTextGivesEmptyPath) {
    CDataProvider record(1);
    SetPathText(record, "c:\\x.exe");
    SetPathText(record, nullptr);
    EXPECT_STREQ(record.GetPath(), "");
}

TEST(DataProviderTest, ContentNeedsSizeFirst) {
    CDataProvider record(1);
    const unsigned char bytes[4] = {'M', 'Z', 1, 2};
    const unsigned char* source = bytes;
    EXPECT_EQ(record.SetContent(&source), -1);
    EXPECT_EQ(record.GetContent(0, 0), nullptr);

    const int size = 4;
    EXPECT_EQ(record.SetFileSize(&size), 1);
    EXPECT_EQ(record.SetContent(&source), 1);
    ASSERT_NE(record.GetContent(0, 4), nullptr);
    EXPECT_EQ(memcmp(record.GetContent(0, 4), bytes, 4), 0);
    EXPECT_EQ(*record.GetContent(2, 0), 1);
}

TEST(DataProviderTest, ContentIsCutAtSixteenMebibytes) {
    std::vector<unsigned char> big(kMaxContentSize + 1, 0xAB);
    big[kMaxContentSize - 1] = 0x11;
    const unsigned char* source = big.data();

    CDataProvider exact(1);
    int size = static_cast<int>(kMaxContentSize);
    exact.SetFileSize(&size);
    EXPECT_EQ(exact.SetContent(&source), 1);
    EXPECT_EQ(exact.GetFileSize(), 0x1000000);

    CDataProvider oneOver(2);
    size = static_cast<int>(kMaxContentSize) + 1;
    oneOver.SetFileSize(&size);
    EXPECT_EQ(oneOver.SetContent(&source), 1);
    EXPECT_EQ(oneOver.GetFileSize(), 0x1000000);
    EXPECT_EQ(oneOver.GetContent(0, 0)[kMaxContentSize - 1], 0x11);

    CDataProvider huge(3);
    size = 20000000;
    huge.SetFileSize(&size);
    EXPECT_EQ(huge.SetContent(&source), 1);
    EXPECT_EQ(huge.GetFileSize(), 16777216);
}

// Sizes a host may give, and what the record keeps of 16 MiB + 1 source bytes. Only -1
// means "no size"; every other negative size reads as a huge unsigned count and is cut
// to 16 MiB like one. Bytes given before the size are never kept.
TEST(DataProviderTest, EverySizeAroundTheLimits) {
    const std::vector<unsigned char> source(kMaxContentSize + 1, 0x5A);
    const int kCap = static_cast<int>(kMaxContentSize);
    struct Case {
        int size, result, kept;
    } const cases[] = {{-1, -1, -1},    {-2, 1, kCap},       {INT32_MIN, 1, kCap},
                       {0, 1, 0},       {1, 1, 1},           {kCap - 1, 1, kCap - 1},
                       {kCap, 1, kCap}, {kCap + 1, 1, kCap}, {INT32_MAX, 1, kCap}};
    for (const Case& c : cases) {
        CDataProvider record(1);
        const unsigned char* data = source.data();
        EXPECT_EQ(-1, record.SetContent(&data));
        record.SetFileSize(&c.size);
        EXPECT_EQ(nullptr, record.GetContent(0, 0)) << c.size;
        EXPECT_EQ(c.result, record.SetContent(&data)) << c.size;
        EXPECT_EQ(c.kept, record.GetFileSize()) << c.size;
        const unsigned char* kept = record.GetContent(0, 0);
        EXPECT_EQ(c.result == 1, kept != nullptr) << c.size;
        if (kept != nullptr && c.kept > 0) {
            EXPECT_EQ(0x5A, kept[c.kept - 1]) << c.size;
        }
    }
}

TEST(DataProviderTest, NullSourceIsRefused) {
    CDataProvider record(1);
    const int size = 8;
    record.SetFileSize(&size);
    const unsigned char* source = nullptr;
    EXPECT_EQ(record.SetContent(&source), -1);
    EXPECT_EQ(record.GetContent(0, 0), nullptr);
}

TEST(DataProviderTest, SizeAlreadyTakenBeforeContent) {
    CDataProvider record(1);
    const int zero = 0;
    record.SetFileSize(&zero);
    const unsigned char* source = nullptr;
    EXPECT_EQ(record.SetContent(&source), 1);
    EXPECT_NE(record.GetContent(0, 0), nullptr);
    const int other = 99;
    record.AssignFileSize(&other);
    EXPECT_EQ(record.GetFileSize(), 99);
}

TEST(DataProviderTest, StampAndTimeAreCopied) {
    CDataProvider record(1);
    int64_t when = -12345678901LL;
    uint64_t stamp = 0x0102030405060708ULL;
    record.SetCreateTime(&when);
    record.SetStamp(&stamp);
    when = 0;
    stamp = 0;
    EXPECT_EQ(*record.GetCreateTime(), -12345678901LL);
    EXPECT_EQ(*record.GetStamp(), 0x0102030405060708ULL);
    record.SetTag(42);
    EXPECT_EQ(record.GetTag(), 42);
}

TEST(DataProviderTest, ExtensionText) {
    CDataProvider record(1);
    SetPathText(record, "c:\\a\\b.txt.exe");
    EXPECT_STREQ(record.GetExtName(), "txt.exe");
    SetPathText(record, "calc.exe");
    EXPECT_STREQ(record.GetExtName(), "exe");
    SetPathText(record, "readme");
    EXPECT_STREQ(record.GetExtName(), "readme");
    SetPathText(record, "c:\\dir.d\\file");
    EXPECT_STREQ(record.GetExtName(), "file");
    SetPathText(record, "c:\\dir\\");
    EXPECT_STREQ(record.GetExtName(), "");
    // Only the backslash separates directories for this rule.
    EXPECT_EQ(ExtensionText("c:/a.b/c.exe"), "b/c.exe");
}

TEST(DataProviderTest, BaseNameFollowsTheSplitter) {
    CDataProvider record(1);
    SetPathText(record, "c:\\a\\b.txt.exe");
    EXPECT_STREQ(record.GetBaseName(), "b.txt");
    EXPECT_EQ(SplitFileName("c:\\dir.d\\file"), "file");
    EXPECT_EQ(SplitFileName("c:/a/b.exe"), "b");
    EXPECT_EQ(SplitFileName("c:b.exe"), "b");
    EXPECT_EQ(SplitFileName("d:"), "");
    EXPECT_EQ(SplitFileName("a\\.cfg"), "");
    EXPECT_EQ(SplitFileName("name."), "name");
    EXPECT_EQ(SplitFileName("1setup.exe"), "1setup");
    EXPECT_EQ(SplitFileName("\\\\server\\share\\x.y.z"), "x.y");
}

TEST(DataProviderTest, LongBaseNameIsCutToTheBuffer) {
    CDataProvider record(1);
    const std::string path = "c:\\" + std::string(400, 'n') + ".exe";
    SetPathText(record, path.c_str());
    EXPECT_EQ(strlen(record.GetBaseName()), 259u);
}

TEST(DataProviderTest, DerivedNamesShareScratchSpace) {
    CDataProvider first(1);
    CDataProvider second(2);
    SetPathText(first, "c:\\one.exe");
    SetPathText(second, "c:\\two.txt.exe");
    const char* firstBase = first.GetBaseName();
    EXPECT_STREQ(firstBase, "one");
    second.GetBaseName();
    EXPECT_STREQ(firstBase, "two.txt");

    const char* firstExt = first.GetExtName();
    EXPECT_STREQ(firstExt, "exe");
    EXPECT_STREQ(second.GetExtName(), "txt.exe");
    EXPECT_STREQ(first.GetExtName(), "exe");
}

}  // namespace

// A size raised after the bytes were copied must not send readers past the copy.
TEST(DataProviderTest, SizeRaisedAfterContentHidesTheContent) {
    CDataProvider record(1);
    const std::vector<unsigned char> bytes(64, 0x4D);
    const int size = static_cast<int>(bytes.size());
    record.SetFileSize(&size);
    const unsigned char* source = bytes.data();
    ASSERT_EQ(record.SetContent(&source), 1);
    ASSERT_NE(record.GetContent(0, 0), nullptr);

    const int smaller = 10;
    record.SetFileSize(&smaller);
    EXPECT_NE(record.GetContent(0, 0), nullptr);  // fewer bytes than held: still fine
    const int larger = 65;
    record.SetFileSize(&larger);
    EXPECT_EQ(record.GetContent(0, 0), nullptr);
    const int unset = -1;
    record.AssignFileSize(&unset);
    EXPECT_EQ(record.GetContent(0, 0), nullptr);

    record.SetFileSize(&larger);  // new bytes at the new size make it whole again
    const std::vector<unsigned char> more(65, 0x5A);
    source = more.data();
    ASSERT_EQ(record.SetContent(&source), 1);
    EXPECT_NE(record.GetContent(0, 0), nullptr);
}
