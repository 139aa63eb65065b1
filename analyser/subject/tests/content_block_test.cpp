#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "content_block.h"
#include "data_provider.h"

namespace {

void GiveContent(CDataProvider& record, const std::vector<unsigned char>& bytes) {
    const int size = static_cast<int>(bytes.size());
    record.SetFileSize(&size);
    const unsigned char* data = bytes.data();
    ASSERT_EQ(record.SetContent(&data), 1);
}

TEST(ContentBlockTest, AReleasedBlockServesTheNextSubject) {
    std::vector<unsigned char> first(300000, 0xAA);
    std::vector<unsigned char> second(200000, 0xBB);
    const unsigned char* firstCopy = nullptr;
    {
        CDataProvider record(1);
        GiveContent(record, first);
        firstCopy = record.GetContent(0, 300000);
    }
    EXPECT_GE(SpareContentBytes(), 300001u);
    CDataProvider record(2);
    GiveContent(record, second);
    // The same block, with the new subject's bytes and nothing of the old one's.
    EXPECT_EQ(record.GetContent(0, 200000), firstCopy);
    EXPECT_EQ(memcmp(record.GetContent(0, 200000), second.data(), second.size()), 0);
    // A larger size given afterwards is not served from the larger block.
    const int larger = 200001;
    record.SetFileSize(&larger);
    EXPECT_EQ(record.GetContent(0, larger), nullptr);
}

TEST(ContentBlockTest, TwoLiveSubjectsNeverShareABlock) {
    std::vector<unsigned char> a(100000, 1), b(100000, 2);
    CDataProvider one(1), two(2);
    GiveContent(one, a);
    GiveContent(two, b);
    EXPECT_NE(one.GetContent(0, 1), two.GetContent(0, 1));
    EXPECT_EQ(one.GetContent(0, 100000)[99999], 1);
    EXPECT_EQ(two.GetContent(0, 100000)[99999], 2);
}

TEST(ContentBlockTest, ARecordMayBeGivenItsOwnBytesAgain) {
    std::vector<unsigned char> bytes(70000);
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<unsigned char>(i * 7);
    CDataProvider record(1);
    GiveContent(record, bytes);
    // The host hands back what GetContent gave it, now shorter.
    const int shorter = 5000;
    record.SetFileSize(&shorter);
    const unsigned char* own = record.GetContent(0, shorter);
    ASSERT_NE(own, nullptr);
    ASSERT_EQ(record.SetContent(&own), 1);
    EXPECT_EQ(memcmp(record.GetContent(0, shorter), bytes.data(), shorter), 0);
}

TEST(ContentBlockTest, OnlyTheLargerOfTwoReleasedBlocksIsKept) {
    {
        ContentBlock large;
        ASSERT_TRUE(large.Acquire(5 << 20));
    }
    const size_t kept = SpareContentBytes();
    EXPECT_GE(kept, 5u << 20);
    {
        ContentBlock small;
        ASSERT_TRUE(small.Acquire(1 << 20));  // served by the spare block
        EXPECT_EQ(SpareContentBytes(), 0u);
    }
    EXPECT_EQ(SpareContentBytes(), kept);
    {
        ContentBlock a, b;
        ASSERT_TRUE(a.Acquire(1 << 20));
        ASSERT_TRUE(b.Acquire(1 << 20));  // newly allocated, 1 MiB
    }
    EXPECT_EQ(SpareContentBytes(), kept);
}

// The kept block serves any request from 64 KiB up to its own size, and no other.
TEST(ContentBlockTest, TheSpareServesRequestsFrom64KiBUpToItsSize) {
    {
        ContentBlock large;
        ASSERT_TRUE(large.Acquire(1 << 20));
    }
    const size_t spare = SpareContentBytes();
    ASSERT_GE(spare, 1u << 20);
    struct Case {
        size_t request;
        bool served;
    } const cases[] = {
        {(64 << 10) - 1, false}, {64 << 10, true}, {spare, true}, {spare + 1, false}};
    for (const Case& c : cases) {
        ContentBlock block;
        ASSERT_TRUE(block.Acquire(c.request));
        EXPECT_EQ(c.served, SpareContentBytes() == 0) << c.request;
    }
    // While the large block is out, a released block of 64 KiB is kept; one byte less is not.
    ContentBlock large;
    ASSERT_TRUE(large.Acquire(1 << 20));
    ASSERT_EQ(0u, SpareContentBytes());
    for (size_t size : {(64u << 10) - 1, 64u << 10}) {
        ContentBlock block;
        ASSERT_TRUE(block.Acquire(size));
        block.Release();
        EXPECT_EQ(size < (64u << 10) ? 0 : size, SpareContentBytes()) << size;
    }
}

TEST(ContentBlockTest, SmallBlocksAreNeitherKeptNorServedFromTheLargeOne) {
    {
        ContentBlock large;
        ASSERT_TRUE(large.Acquire(2 << 20));
    }
    const size_t kept = SpareContentBytes();
    ASSERT_GE(kept, 2u << 20);
    {
        ContentBlock small;
        ASSERT_TRUE(small.Acquire(2049));
        EXPECT_EQ(SpareContentBytes(), kept);  // the large block waits for a large subject
    }
    EXPECT_EQ(SpareContentBytes(), kept);
}

}  // namespace
