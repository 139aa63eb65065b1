#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "list_bytes.h"
#include "list_format.h"
#include "memory_bytes.h"

namespace {

const char kOurId[] = "0123456789ABCDEF";
const char kOldId[] = "FEDCBA9876543210";  // what an account without key rights wrote

ListEntry Entry(unsigned char digestByte, const char* path, const char* added = "t") {
    unsigned char digest[16];
    std::memset(digest, digestByte, sizeof(digest));
    ListEntry entry;
    EXPECT_TRUE(MakeListEntry(digest, path, added, &entry));
    return entry;
}

// The paths of a set in set order.
std::vector<std::string> Paths(const EntrySet& set) {
    std::vector<std::string> paths;
    set.ForEach([&](const ListEntry& e) {
        paths.push_back(e.path);
        return true;
    });
    return paths;
}

ListDecode Decode(const std::string& file, EntrySet* set, size_t failAt = SIZE_MAX) {
    MemorySource source(file.data(), file.size(), failAt);
    return DecodeList(source, file.size(), {kOurId, kOldId}, set);
}

}  // namespace

TEST(ListFormat, WritesHeaderAndRecordsInSetOrderAndReadsThemBack) {
    EntrySet set(AsciiPathCompare);
    set.Insert(Entry(0x80, "c:\\b.exe", "2024-05-06 07:08:09"));
    set.Insert(Entry(0x7F, "c:\\a.exe"));
    char id[kListIdFieldSize] = {};
    std::memcpy(id, kOurId, 16);
    MemorySink sink;
    ASSERT_TRUE(EncodeList(sink, id, set));

    const std::string& out = sink.bytes;
    ASSERT_EQ(out.size(), 48u + 2 * 568u);
    EXPECT_EQ(std::string(out.begin(), out.begin() + 20), std::string("QXLB") + kOurId);
    EXPECT_EQ(std::string(out.begin() + 20, out.begin() + 44), std::string(24, '\0'));
    EXPECT_EQ(out.substr(44, 4), std::string("\2\0\0\0", 4));
    // 0x7F sorts before 0x80: digest bytes compare unsigned.
    EXPECT_EQ(out.substr(48, 16), FilledDigest(0x7F));
    const std::string second = out.substr(48 + 568);
    EXPECT_EQ(second.substr(0, 16), FilledDigest(0x80));
    EXPECT_EQ(second.substr(16, 520), std::string("c:\\b.exe") + std::string(512, '\0'));
    EXPECT_EQ(second.substr(536), std::string("2024-05-06 07:08:09") + std::string(13, '\0'));

    EntrySet back(AsciiPathCompare);
    ASSERT_EQ(Decode(out, &back), ListDecode::kEntries);
    EXPECT_EQ(Paths(back), (std::vector<std::string>{"c:\\a.exe", "c:\\b.exe"}));

    // A write that fails anywhere fails the save: in the header, in the first block of 64
    // records (though the shorter last one would fit), in the last one.
    for (int i = 0; i < 63; ++i) set.Insert(Entry(static_cast<unsigned char>(i), "c:\\m"));
    for (size_t failAt : {size_t{40}, size_t{48 + 1000}, size_t{48 + 64 * 568 + 1}}) {
        MemorySink failing(failAt);
        EXPECT_FALSE(EncodeList(failing, id, set)) << failAt;
    }
}

TEST(ListFormat, DecodesOnlyWholeTerminatedRecordsOfAnAcceptedMachine) {
    // Counts and cut records are tested through the library; here the header's identifier
    // and the record fields, under the sanitizers.
    auto list = [](const std::string& id, const std::string& path, const std::string& added) {
        std::string b = ListHeaderBytes(id, 3);
        AppendRecord(b, 1, "c:\\one");
        AppendRecord(b, 2, path, added);
        AppendRecord(b, 3, "c:\\three");
        return b;
    };
    const std::string good = list(kOurId, "c:\\two", "t");
    std::string fullId = good;
    std::memset(&fullId[4], 'A', 40);  // no terminator inside the field
    const struct Case {
        const char* what;
        std::string file;
        ListDecode result;
        size_t entries;
    } cases[] = {
        {"ours", good, ListDecode::kEntries, 3},
        {"older identifier", list(kOldId, "c:\\two", "t"), ListDecode::kEntries, 3},
        {"unterminated path", list(kOurId, std::string(520, 'p'), "t"), ListDecode::kEntries, 2},
        {"unterminated time", list(kOurId, "c:\\two", std::string(32, '9')), ListDecode::kEntries,
         2},
        {"other machine", list("0123456789ABCDEE", "b", "t"), ListDecode::kNotOurList, 0},
        {"identifier prefix", list("0123456789ABCDE", "b", "t"), ListDecode::kNotOurList, 0},
        {"identifier fills field", fullId, ListDecode::kNotOurList, 0},
        {"other magic", "QXLC" + good.substr(4), ListDecode::kNotOurList, 0},
        {"header only", good.substr(0, 48), ListDecode::kNotOurList, 0},
    };
    for (const Case& c : cases) {
        EntrySet set(AsciiPathCompare);
        EXPECT_EQ(Decode(c.file, &set), c.result) << c.what;
        EXPECT_EQ(set.size(), c.entries) << c.what;
    }
    // A source that fails inside the records is a failed read, not a shorter list.
    EntrySet set(AsciiPathCompare);
    EXPECT_EQ(Decode(good, &set, 48 + 568), ListDecode::kReadFailed);
}

TEST(EntrySet, WholePathsWithoutRegardToCase) {
    EntrySet set(AsciiPathCompare);
    EXPECT_TRUE(set.Insert(Entry(1, "c:\\x.bin.bak", "first")));
    EXPECT_TRUE(set.Insert(Entry(1, "c:\\x.bin", "second")));  // a prefix is another entry
    EXPECT_FALSE(set.Insert(Entry(1, "C:\\X.BIN", "third")));
    EXPECT_EQ(Paths(set), (std::vector<std::string>{"c:\\x.bin", "c:\\x.bin.bak"}));
    EXPECT_STREQ(set.First()->added, "second");

    const unsigned char one[16] = {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1};
    EXPECT_FALSE(set.Remove(one, "c:\\x.bi"));
    EXPECT_FALSE(set.Remove(one, std::string(600, 'p').c_str()));
    EXPECT_TRUE(set.Remove(one, "C:\\X.Bin"));
    EXPECT_EQ(Paths(set), std::vector<std::string>{"c:\\x.bin.bak"});

    ListEntry entry;
    EXPECT_TRUE(MakeListEntry(one, std::string(519, 'p').c_str(), "", &entry));
    EXPECT_FALSE(MakeListEntry(one, std::string(520, 'p').c_str(), "", &entry));
    EXPECT_FALSE(MakeListEntry(one, "p", std::string(32, 't').c_str(), &entry));
}

TEST(EntryCursor, GoesOnAfterTheLastEntryWhateverTheSetNowHolds) {
    EntrySet set(AsciiPathCompare);
    EntryCursor cursor;
    set.Insert(Entry(2, "b"));
    EXPECT_EQ(cursor.Next(set), nullptr);  // no enumeration begun

    cursor.Rewind();
    set.Insert(Entry(4, "d"));
    ASSERT_NE(cursor.Next(set), nullptr);

    // The set is replaced by a reload that lost "b" and gained "a" and "c".
    EntrySet reloaded(AsciiPathCompare);
    reloaded.Insert(Entry(1, "a"));
    reloaded.Insert(Entry(3, "c"));
    reloaded.Insert(Entry(4, "d"));
    set = std::move(reloaded);
    std::string rest;
    while (const ListEntry* e = cursor.Next(set)) rest += e->path;
    EXPECT_EQ(rest, "cd");

    set.Insert(Entry(5, "e"));
    ASSERT_NE(cursor.Next(set), nullptr);  // an entry added after the end is still reached
    EXPECT_EQ(cursor.Next(set), nullptr);
    cursor.Reset();
    cursor.Rewind();
    EXPECT_STREQ(cursor.Next(set)->path, "a");
}
