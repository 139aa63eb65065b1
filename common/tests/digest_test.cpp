#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "crc32.h"
#include "hex.h"
#include "md5.h"

namespace {

std::string Md5Hex(const void* data, size_t length) {
    CMD5Class md5;
    unsigned char digest[16];
    EXPECT_EQ(1, md5.Digest(data, digest, static_cast<uint32_t>(length)));
    char text[33];
    for (int i = 0; i < 16; ++i) std::snprintf(text + 2 * i, 3, "%02x", digest[i]);
    return text;
}

std::string Md5Hex(const std::string& s) {
    return Md5Hex(s.data(), s.size());
}

// A few MiB of deterministic bytes; their digests were taken with md5sum and zlib.
std::vector<unsigned char> GeneratedBuffer() {
    std::vector<unsigned char> bytes(3 * 1024 * 1024 + 17);
    uint32_t x = 12345;
    for (auto& b : bytes) {
        x = x * 1103515245u + 12345u;
        b = static_cast<unsigned char>(x >> 16);
    }
    return bytes;
}

// 1000 bytes of a pattern that repeats only after 256.
std::vector<unsigned char> PatternBytes() {
    std::vector<unsigned char> bytes(1000);
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<unsigned char>(i * 131 + 7);
    return bytes;
}

}  // namespace

TEST(Md5, RfcTestSuite) {
    EXPECT_EQ("d41d8cd98f00b204e9800998ecf8427e", Md5Hex(""));
    EXPECT_EQ("0cc175b9c0f1b6a831c399e269772661", Md5Hex("a"));
    EXPECT_EQ("900150983cd24fb0d6963f7d28e17f72", Md5Hex("abc"));
    EXPECT_EQ("f96b697d7cb7938d525a2f31aaf161d0", Md5Hex("message digest"));
    EXPECT_EQ("c3fcd3d76192e4007dfb496cca67e13b", Md5Hex("abcdefghijklmnopqrstuvwxyz"));
    EXPECT_EQ("d174ab98d277d9f5a5611c2c9f419d9f",
              Md5Hex("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789"));
    EXPECT_EQ("57edf4a22be3c955ac49da2e2107b67a",
              Md5Hex("1234567890123456789012345678901234567890"
                     "1234567890123456789012345678901234567890"));
}

TEST(Md5, PaddingBoundaries) {
    // 55 bytes fit one block with the length; 56 and 64 need a second block.
    EXPECT_EQ("ef1772b6dff9a122358552954ad0df65", Md5Hex(std::string(55, 'a')));
    EXPECT_EQ("3b0c8ac703f828b04c6c197006d17218", Md5Hex(std::string(56, 'a')));
    EXPECT_EQ("014842d480b571495a4a0363793f7367", Md5Hex(std::string(64, 'a')));
}

TEST(Md5, OneObjectDigestsSeveralBlocksInTurn) {
    CMD5Class md5;
    unsigned char first[16], second[16], again[16];
    md5.Digest("abc", first, 3);
    md5.Digest("message digest", second, 14);
    md5.Digest("abc", again, 3);
    EXPECT_EQ(0, std::memcmp(first, again, 16));
    EXPECT_NE(0, std::memcmp(first, second, 16));
}

TEST(Md5, LargeBufferMatchesMd5sum) {
    auto bytes = GeneratedBuffer();
    EXPECT_EQ("7934c6891a24db4966537637e7947f1b", Md5Hex(bytes.data(), bytes.size()));
}

// Every length from 0 to 1000 bytes: every split into whole 64-byte blocks and a
// remainder, and every padding case. The digests of all the prefixes are folded into
// one, taken with Python's hashlib and zlib.
TEST(Md5, EveryLengthUpToSeveralBlocks) {
    const std::vector<unsigned char> bytes = PatternBytes();
    EXPECT_EQ("bc00c8534af1e5aef0ede584d8ad5bc3", Md5Hex(bytes.data(), 64));
    EXPECT_EQ("154b8c17cfb174384edd9557e3e64e2b", Md5Hex(bytes.data(), 128));
    EXPECT_EQ("0b8ae90ded6089334e353eb2669ab5e6", Md5Hex(bytes.data(), 1000));
    std::vector<unsigned char> digests(16 * 1001);
    CMD5Class md5;
    for (size_t length = 0; length <= 1000; ++length) {
        md5.Digest(bytes.data(), &digests[16 * length], static_cast<uint32_t>(length));
    }
    EXPECT_EQ("8c8a5c662756fd84cd3d4050c84aacf2", Md5Hex(digests.data(), digests.size()));
}

TEST(Crc32, EveryLengthUpToSeveralBlocks) {
    const std::vector<unsigned char> bytes = PatternBytes();
    CCRC32 crc;
    std::vector<uint32_t> values(1000);
    for (size_t length = 1; length <= 1000; ++length) {
        ASSERT_EQ(1, crc.Compute(bytes.data(), static_cast<uint32_t>(length), &values[length - 1]));
    }
    EXPECT_EQ(0x38E4DBB5u, values[63]);
    EXPECT_EQ(0xCC816B20u, values[127]);
    EXPECT_EQ(0x1ED57BB9u, values[999]);
    uint32_t folded = 0;
    ASSERT_EQ(1, crc.Compute(values.data(), static_cast<uint32_t>(4 * values.size()), &folded));
    EXPECT_EQ(0x2DDA5636u, folded);  // the values as little-endian words, as x86 holds them
}

TEST(Crc32, CheckValueAndLargeBuffer) {
    CCRC32 crc;
    uint32_t value = 0;
    ASSERT_EQ(1, crc.Compute("123456789", 9, &value));
    EXPECT_EQ(0xCBF43926u, value);
    ASSERT_EQ(1, crc.Compute("a", 1, &value));
    EXPECT_EQ(0xE8B7BE43u, value);
    auto bytes = GeneratedBuffer();
    ASSERT_EQ(1, crc.Compute(bytes.data(), static_cast<uint32_t>(bytes.size()), &value));
    EXPECT_EQ(0x759DA14Du, value);
}

TEST(Crc32, RefusesEmptyOrNullAndLeavesOutputAlone) {
    CCRC32 crc;
    uint32_t value = 0xDEADBEEF;
    EXPECT_EQ(0, crc.Compute("abc", 0, &value));
    EXPECT_EQ(0xDEADBEEFu, value);
    EXPECT_EQ(0, crc.Compute(nullptr, 3, &value));
    EXPECT_EQ(0xDEADBEEFu, value);
    EXPECT_EQ(0, crc.Compute("abc", 3, nullptr));
}

TEST(HexToBytes, PairsDigitsOfEitherCase) {
    unsigned char out[4] = {1, 2, 3, 4};
    ASSERT_EQ(1, HexToBytes("6A00FF15", out));
    EXPECT_EQ(0x6A, out[0]);
    EXPECT_EQ(0x00, out[1]);
    EXPECT_EQ(0xFF, out[2]);
    EXPECT_EQ(0x15, out[3]);
    ASSERT_EQ(1, HexToBytes("6a00ff15", out));
    EXPECT_EQ(0x6A, out[0]);
    EXPECT_EQ(0xFF, out[2]);
}

TEST(HexToBytes, EveryByteAsEitherDigitOfAPair) {
    const std::string lower = "0123456789abcdef", upper = "0123456789ABCDEF";
    for (int c = 1; c < 256; ++c) {
        const char digit = static_cast<char>(c);
        const size_t value = lower.find(digit) != std::string::npos   ? lower.find(digit)
                             : upper.find(digit) != std::string::npos ? upper.find(digit)
                                                                      : 0;
        const char high[] = {digit, '1', '\0'}, low[] = {'1', digit, '\0'};
        unsigned char out = 0xEE;
        ASSERT_EQ(1, HexToBytes(high, &out));
        EXPECT_EQ(value * 16 + 1, out) << "byte " << c;
        ASSERT_EQ(1, HexToBytes(low, &out));
        EXPECT_EQ(16 + value, out) << "byte " << c;
    }
}

TEST(HexToBytes, OtherCharactersCountAsZeroAndOddDigitPairsWithTerminator) {
    unsigned char out[3] = {9, 9, 9};
    ASSERT_EQ(1, HexToBytes("G1?Z", out));
    EXPECT_EQ(0x01, out[0]);
    EXPECT_EQ(0x00, out[1]);
    EXPECT_EQ(9, out[2]);  // beyond half the text length: untouched

    unsigned char odd[2] = {7, 7};
    ASSERT_EQ(1, HexToBytes("ABC", odd));
    EXPECT_EQ(0xAB, odd[0]);
    EXPECT_EQ(0xC0, odd[1]);

    EXPECT_EQ(0, HexToBytes("00", nullptr));
}
