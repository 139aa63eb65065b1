#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "traffic.h"

namespace {

TrafficEntry Entry(uint32_t amount) {
    TrafficEntry entry = {};
    entry.carried0 = 0xAAAA;
    entry.keyA = 0x0100007F;
    entry.keyB = 0x0200A8C0;
    entry.keyC = 80;
    entry.keyD = 1234;
    entry.carried16 = 0xBBBB;
    entry.amount = amount;
    entry.keyE = 6;
    return entry;
}

// A driver answer: header (count claimed, held) and the entries it wrote, in a buffer of
// `bufferBytes`.
struct Answer {
    std::vector<uint8_t> buffer;
    size_t returned;
};

Answer MakeAnswer(uint32_t claimed, uint32_t held, const std::vector<TrafficEntry>& entries,
                  size_t bufferBytes = 0) {
    Answer answer;
    answer.returned = 8 + entries.size() * sizeof(TrafficEntry);
    answer.buffer.assign(std::max(bufferBytes, answer.returned), 0);
    std::memcpy(answer.buffer.data(), &claimed, 4);
    std::memcpy(answer.buffer.data() + 4, &held, 4);
    if (!entries.empty())
        std::memcpy(answer.buffer.data() + 8, entries.data(),
                    entries.size() * sizeof(TrafficEntry));
    return answer;
}

std::vector<TrafficRecord> Merge(const Answer& answer, uint32_t* count = nullptr) {
    std::vector<TrafficRecord> records;
    uint32_t hint = 0;
    const uint32_t n = MergeTrafficAnswer(answer.buffer.data(), answer.buffer.size(),
                                          answer.returned, &records, &hint);
    if (count != nullptr) *count = n;
    return records;
}

TEST(Traffic, EntriesMergeOnlyWhenEveryKeyByteAgrees) {
    const TrafficEntry first = Entry(100);
    // Bytes outside the key: 0-3, 16-19 and the amount at 20-23.
    for (size_t byte : {0, 3, 16, 19, 20, 23}) {
        TrafficEntry second = Entry(50);
        reinterpret_cast<uint8_t*>(&second)[byte] ^= 0x01;
        const std::vector<TrafficRecord> records = Merge(MakeAnswer(2, 0, {first, second}));
        ASSERT_EQ(1u, records.size()) << "byte " << byte;
        EXPECT_EQ(2u, records[0].number);
        EXPECT_EQ(first.amount + second.amount, records[0].sum);
        EXPECT_EQ(0, std::memcmp(&first, &records[0].first, sizeof first))
            << "the first entry rides";
    }
    for (size_t byte : {4, 7, 8, 11, 12, 13, 14, 15, 24, 27}) {
        TrafficEntry second = Entry(50);
        reinterpret_cast<uint8_t*>(&second)[byte] ^= 0x80;
        const std::vector<TrafficRecord> records = Merge(MakeAnswer(2, 0, {first, second}));
        ASSERT_EQ(2u, records.size()) << "byte " << byte;
        EXPECT_EQ(1u, records[1].number);
        EXPECT_EQ(50u, records[1].sum);
    }
}

TEST(Traffic, RecordsKeepFirstSeenOrder) {
    std::vector<TrafficEntry> entries;
    for (uint32_t i = 0; i < 6; ++i) {
        TrafficEntry entry = Entry(i + 1);
        entry.keyE = 10 - (i % 3);  // keys 10, 9, 8, 10, 9, 8
        entries.push_back(entry);
    }
    const std::vector<TrafficRecord> records = Merge(MakeAnswer(6, 0, entries));
    ASSERT_EQ(3u, records.size());
    const uint32_t keys[] = {10, 9, 8}, sums[] = {1 + 4, 2 + 5, 3 + 6};
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(keys[i], records[i].first.keyE);
        EXPECT_EQ(sums[i], records[i].sum);
        EXPECT_EQ(2u, records[i].number);
    }
}

TEST(Traffic, CountsAndHintsAreClamped) {
    struct Case {
        const char* what;
        uint32_t claimed, held;
        size_t written, returnedCut, bufferBytes;
        uint32_t expectedCount, expectedHint;
    } cases[] = {
        {"count as written", 2, 7, 2, 0, 0, 2, 7},
        {"count beyond the bytes written", 1000, 0, 1, 0, 4000, 1, 0},
        {"a partial entry is not read", 2, 0, 2, 1, 0, 1, 0},
        {"answer shorter than its header", 5, 0, 0, 3, 0, 0, 0},
        {"held count past the limit", 0, 0x80000000u, 0, 0, 0, 0, kMaxTrafficHint},
        {"held count at the limit", 0, kMaxTrafficHint, 0, 0, 0, 0, kMaxTrafficHint},
    };
    for (const Case& c : cases) {
        Answer answer = MakeAnswer(c.claimed, c.held,
                                   std::vector<TrafficEntry>(c.written, Entry(1)), c.bufferBytes);
        answer.returned -= c.returnedCut;
        std::vector<TrafficRecord> records;
        uint32_t hint = 12345;
        const uint32_t count = MergeTrafficAnswer(answer.buffer.data(), answer.buffer.size(),
                                                  answer.returned, &records, &hint);
        EXPECT_EQ(c.expectedCount, count) << c.what;
        EXPECT_EQ(c.expectedHint, hint) << c.what;
    }
    // A driver claiming more bytes than the buffer holds is not believed either.
    const Answer lying = MakeAnswer(3, 0, {Entry(1)});
    std::vector<TrafficRecord> records;
    uint32_t hint = 0;
    EXPECT_EQ(1u, MergeTrafficAnswer(lying.buffer.data(), lying.buffer.size(), 1u << 30, &records,
                                     &hint));

    EXPECT_EQ(36u, TrafficBufferBytes(0));
    EXPECT_EQ(10 * 28 + 36u, TrafficBufferBytes(10));
    EXPECT_EQ(size_t{kMaxTrafficHint} * 28 + 36, TrafficBufferBytes(0xFFFFFFFFu));
}

}  // namespace
