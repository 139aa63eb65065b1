#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "byte_search.h"

namespace {

using Finder = const unsigned char* (*)(const unsigned char*, size_t, unsigned char);

class ByteSearchTest : public testing::TestWithParam<Finder> {};

// Every start alignment and length up to a few blocks, against memchr.
TEST_P(ByteSearchTest, AgreesWithMemchrAtEveryAlignmentAndLength) {
    std::mt19937 random(7);
    std::vector<unsigned char> buffer(96);
    const unsigned char values[] = {0x00, 0x4D, 0x7F, 0x80, 0xFE, 0xFF};
    for (int round = 0; round < 20; ++round) {
        // Few distinct bytes, so that hits and misses both happen often.
        for (unsigned char& b : buffer) b = values[random() % 6];
        for (size_t start = 0; start < 17; ++start) {
            for (size_t length = 0; start + length <= buffer.size(); ++length) {
                for (unsigned char value : values) {
                    const unsigned char* data = buffer.data() + start;
                    const void* expected = memchr(data, value, length);
                    ASSERT_EQ(GetParam()(data, length, value), expected)
                        << "start " << start << " length " << length << " value " << +value;
                }
            }
        }
    }
}

TEST_P(ByteSearchTest, FindsOnlyTheExactValueNextToItsNeighbours) {
    // 0x80 next to 0x7F and 0x81: a word search that borrows across bytes would be wrong.
    std::vector<unsigned char> buffer(40, 0x7F);
    buffer[33] = 0x80;
    buffer[34] = 0x81;
    EXPECT_EQ(GetParam()(buffer.data(), buffer.size(), 0x80), buffer.data() + 33);
    EXPECT_EQ(GetParam()(buffer.data(), buffer.size(), 0x81), buffer.data() + 34);
    EXPECT_EQ(GetParam()(buffer.data(), 33, 0x80), nullptr);
    EXPECT_EQ(GetParam()(nullptr, 10, 0x80), nullptr);
}

INSTANTIATE_TEST_SUITE_P(BestAndWordwise, ByteSearchTest,
                         testing::Values(&FindByte, &FindByteByWords));

}  // namespace
