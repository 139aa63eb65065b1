#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "pe_test_util.h"

using petest::PeImageBuilder;
using petest::put32;

namespace {

std::vector<uint8_t> Bytes(const std::string& text) {
    return {text.begin(), text.end()};
}

std::vector<std::string> StringsOf(const std::vector<uint8_t>& bytes, int minLen) {
    CPEHelper helper;
    helper.Parse(bytes.data(), static_cast<int>(bytes.size()));  // not a PE image: still scanned
    return CollectStrings(helper, minLen);
}

using Strings = std::vector<std::string>;

TEST(EnumStringsTest, ProbesEveryMinLenthByte) {
    EXPECT_EQ(Strings{"cdef"}, StringsOf(Bytes(std::string("ab\0cdef\0", 8)), 4));
    EXPECT_EQ((Strings{"ab", "c"}), StringsOf(Bytes(std::string("ab\0c", 4)), 1));
    EXPECT_EQ((Strings{"xyzw", "hello"}),
              StringsOf(Bytes(std::string("\0xyzw\0\0\0hello\0", 15)), 4));
    // Widening backwards stops minLen - 2 bytes before the probe, so a run that starts
    // right after a byte that was probed loses its first byte.
    EXPECT_EQ(Strings{}, StringsOf(Bytes("abcd"), 4));
    EXPECT_EQ(Strings{"bcde"}, StringsOf(Bytes("abcde"), 4));
    EXPECT_EQ(Strings{}, StringsOf(Bytes(std::string("abc", 3)), 4));
    // With minLen 2 nothing is widened backwards: the "~" before the probe is lost.
    EXPECT_EQ((Strings{" !"}), StringsOf(Bytes(std::string("\x7F\x1F~ !\x80", 6)), 2));
}

TEST(EnumStringsTest, RefusesMinLenBelowOneAndStopsOnZero) {
    std::vector<uint8_t> bytes = Bytes(std::string("\0one\0two\0six\0", 13));
    CPEHelper helper;
    helper.Parse(bytes.data(), static_cast<int>(bytes.size()));
    EXPECT_EQ(0, helper.EnumStrings(0, nullptr, nullptr));
    EXPECT_EQ(0, helper.EnumStrings(-3, nullptr, nullptr));
    int calls = 0;
    EXPECT_EQ(1, helper.EnumStrings(
                     3,
                     [](const PEString* record, void* user) {
                         EXPECT_EQ(3, record->length);
                         return ++*static_cast<int*>(user) < 2 ? 1 : 0;
                     },
                     &calls));
    EXPECT_EQ(2, calls);
}

TEST(EnumStringsTest, ListIsBuiltOncePerImage) {
    std::vector<uint8_t> first = Bytes(std::string("\0\0\0abcdefgh\0ab\0", 16));
    CPEHelper helper;
    helper.Parse(first.data(), static_cast<int>(first.size()));
    EXPECT_EQ(Strings{"abcdefgh"}, CollectStrings(helper, 8));
    // A later call with another minLen gets the same list back.
    EXPECT_EQ(Strings{"abcdefgh"}, CollectStrings(helper, 2));
    helper.Reset();
    EXPECT_EQ(Strings{"abcdefgh"}, CollectStrings(helper, 2));

    std::vector<uint8_t> second = Bytes(std::string("\0\0\0zz\0", 6));
    helper.Parse(second.data(), static_cast<int>(second.size()));
    EXPECT_EQ(Strings{"zz"}, CollectStrings(helper, 2));
}

TEST(EnumStringsTest, RunsLongerThanASixteenBitLengthAreCut) {
    std::vector<uint8_t> bytes(70000, 'q');
    bytes[0] = 0;
    CPEHelper helper;
    helper.Parse(bytes.data(), static_cast<int>(bytes.size()));
    std::vector<std::string> found = CollectStrings(helper, 10);
    ASSERT_EQ(1u, found.size());
    EXPECT_EQ(static_cast<size_t>(kMaxStringLength), found[0].size());
}

TEST(EnumStringsTest, HugeMinLenFindsNothing) {
    std::vector<uint8_t> bytes(100, 'q');
    CPEHelper helper;
    helper.Parse(bytes.data(), 100);
    EXPECT_EQ(1, helper.EnumStrings(0x7FFFFFFF, nullptr, nullptr));
    EXPECT_TRUE(CollectStrings(helper, 0x7FFFFFFF).empty());
}

int Embedded(const std::vector<uint8_t>& bytes) {
    CPEHelper helper;
    helper.Parse(bytes.data(), static_cast<int>(bytes.size()));
    return helper.CountEmbeddedImages();
}

// Bytes on both sides of each printable boundary, and a few common ones.
std::vector<unsigned char> MixedBytes(size_t size, unsigned seed, int printableShare) {
    static const unsigned char kOthers[] = {0, 9, 10, 31, 127, 128, 160, 255};
    static const unsigned char kPrintable[] = {32, 33, 'A', 'z', '@', '.', 125, 126};
    std::mt19937 random(seed);
    std::vector<unsigned char> bytes(size);
    for (unsigned char& b : bytes) {
        b = static_cast<int>(random() % 100) < printableShare ? kPrintable[random() % 8]
                                                              : kOthers[random() % 8];
    }
    return bytes;
}

bool Printable(unsigned char c) {
    return c >= 32 && c <= 126;
}

// The list as the probing rule defines it, one byte at a time.
std::vector<std::string> ReferenceStrings(const std::vector<unsigned char>& bytes, int minLen) {
    std::vector<std::string> out;
    const uint64_t n = bytes.size();
    const uint64_t step = static_cast<uint64_t>(minLen);
    const uint64_t maxBack = minLen > 2 ? step - 2 : 0;
    for (uint64_t b = step - 1; b < n;) {
        if (!Printable(bytes[b])) {
            b += step;
            continue;
        }
        uint64_t back = 0;
        while (back < maxBack && back < b && Printable(bytes[b - back - 1])) ++back;
        uint64_t forward = 0;
        while (b + forward + 1 < n && Printable(bytes[b + forward + 1])) ++forward;
        if (back + 1 + forward >= step) {
            out.emplace_back(bytes.begin() + static_cast<ptrdiff_t>(b - back),
                             bytes.begin() + static_cast<ptrdiff_t>(b + forward + 1));
        }
        b += step + forward;
    }
    return out;
}

TEST(EnumStringsTest, ListMatchesTheProbingRuleOnMixedBytes) {
    for (int share : {30, 70, 97}) {
        for (int minLen : {1, 2, 3, 4, 10, 17, 18, 19, 40}) {
            const std::vector<unsigned char> bytes = MixedBytes(5000, share * 100 + minLen, share);
            CPEHelper helper;
            helper.Parse(bytes.data(), static_cast<int>(bytes.size()));
            EXPECT_EQ(CollectStrings(helper, minLen), ReferenceStrings(bytes, minLen))
                << "share " << share << " minLen " << minLen;
        }
    }
}

TEST(CountEmbeddedImagesTest, CountsTheImageItselfAndADroppedOne) {
    std::vector<uint8_t> plain = PeImageBuilder().EntryBytes({0xC3}).Build();
    EXPECT_EQ(1, Embedded(plain));
    std::vector<uint8_t> dropper = PeImageBuilder().EntryBytes({0xC3}).Overlay(plain).Build();
    EXPECT_EQ(2, Embedded(dropper));
}

TEST(CountEmbeddedImagesTest, SignatureMustLieInsideTheImage) {
    // "MZ" at 0 with e_lfanew pointing at the last four bytes / one byte further / huge.
    std::vector<uint8_t> bytes(200, 0);
    bytes[0] = 'M';
    bytes[1] = 'Z';
    put32(bytes, 196, 0x4550);
    put32(bytes, 60, 196);
    EXPECT_EQ(1, Embedded(bytes));
    put32(bytes, 60, 197);
    EXPECT_EQ(0, Embedded(bytes));
    for (uint32_t lfanew : {0xFFFFFFFFu, 0x7FFFFFFFu, 0x80000000u}) {
        put32(bytes, 60, lfanew);
        EXPECT_EQ(0, Embedded(bytes)) << std::hex << lfanew;
    }
    // A negative e_lfanew that still lands inside the image counts.
    put32(bytes, 100, 0x4550);
    bytes[120] = 'M';
    bytes[121] = 'Z';
    put32(bytes, 180, static_cast<uint32_t>(-20));
    EXPECT_EQ(1, Embedded(bytes));
}

TEST(CountEmbeddedImagesTest, ScansBelowSizeMinus64AndSkipsAHeader) {
    std::vector<uint8_t> bytes(200, 0);
    put32(bytes, 0, 0x4550);
    auto plant = [&](size_t at) {
        bytes[at] = 'M';
        bytes[at + 1] = 'Z';
        put32(bytes, at + 60, static_cast<uint32_t>(-static_cast<int32_t>(at)));
    };
    plant(135);  // last scanned position: 200 - 64 - 1
    EXPECT_EQ(1, Embedded(bytes));
    bytes.assign(200, 0);
    put32(bytes, 0, 0x4550);
    plant(136);
    EXPECT_EQ(0, Embedded(bytes));
    // After an "MZ" the next 63 positions are skipped.
    bytes.assign(300, 0);
    put32(bytes, 0, 0x4550);
    plant(10);
    plant(60);
    plant(137);
    EXPECT_EQ(2, Embedded(bytes));
    EXPECT_EQ(0, Embedded(std::vector<uint8_t>(64, 'M')));
}

// Candidates next to each other. An "M" before "MZ" does not hide it; in "MZMZ" the
// second header (the only one whose e_lfanew leads to a signature) lies within the 63
// positions passed over after the first "MZ", so it is not counted.
TEST(CountEmbeddedImagesTest, OverlappingAndAdjacentCandidates) {
    struct Case {
        const char* text;  // written at offset 10
        size_t header;     // the "MZ" whose e_lfanew points at the signature at 0
        int count;
    } const cases[] = {{"MZ", 10, 1},  {"MMZ", 11, 1}, {"MMMZ", 12, 1},
                       {"ZMZ", 11, 1}, {"MZZ", 10, 1}, {"MZMZ", 12, 0}};
    for (const Case& c : cases) {
        std::vector<uint8_t> bytes(300, 0);
        put32(bytes, 0, 0x4550);
        for (size_t i = 0; c.text[i] != '\0'; ++i) bytes[10 + i] = static_cast<uint8_t>(c.text[i]);
        put32(bytes, c.header + 60, 0u - static_cast<uint32_t>(c.header));
        EXPECT_EQ(c.count, Embedded(bytes)) << c.text;
    }
}

}  // namespace
