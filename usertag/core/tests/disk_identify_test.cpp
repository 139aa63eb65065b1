// The request bytes are also checked field by field by the diskid driver under Wine; these
// cover the model text and the parts of the buffers the driver does not look at.
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "disk_identify.h"

TEST(DiskIdentify, ModelTextSwapsPairsUpToTheFirstZero) {
    const struct {
        std::string raw;
        std::string text;
    } cases[] = {
        {"tADasi1k", "AtaDisk1"},
        {"aPkcteeDv", "PacketDev"},  // the odd last byte stays in place
        {"", ""},
        {std::string("BA\0ZZ", 5), "AB"},
        {"1032547698BADCFEHGJILKNMPORQTSVUXWZYbadcXX", "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcd"},
    };
    for (const auto& c : cases) {
        uint8_t field[kModelFieldSize + 2] = {};
        std::memcpy(field, c.raw.data(), c.raw.size());  // the last case runs past the field
        EXPECT_EQ(ModelText(field), c.text) << c.raw;
    }
}

TEST(DiskIdentify, RequestsAndAnswers) {
    for (uint8_t map : {0x00, 0x01, 0x10, 0x11, 0x20}) {
        EXPECT_EQ(IdentifyCommandFor(map, 0), (map & 0x10) ? 0xA1 : 0xEC) << int(map);
    }
    const auto request = SmartIdentifyRequest(0xEC, 1);
    EXPECT_EQ(request[9], 0xB0);  // the slave drive
    EXPECT_EQ(request[12], 1);
    uint8_t answer[kSmartAnswerSize] = {};
    std::memcpy(answer + 70, "tADasi1k", 8);
    EXPECT_EQ(SmartAnswerModel(answer), "AtaDisk1");

    uint8_t buffer[kScsiBufferSize];
    std::memset(buffer, 0xEE, sizeof(buffer));
    ScsiIdentifyRequest(1, buffer);
    // Only the command and the drive number follow the header: the rest is zero.
    std::string expected(kScsiBufferSize - 28, '\0');
    expected[10] = '\xEC';
    expected[12] = 1;
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer) + 28, kScsiBufferSize - 28), expected);
    std::string model = "unchanged";
    EXPECT_FALSE(ScsiAnswerModel(buffer, &model));
    EXPECT_EQ(model, "unchanged");
    std::memcpy(buffer + 98, "vKcSisiDksX", 11);
    EXPECT_TRUE(ScsiAnswerModel(buffer, &model));
    EXPECT_EQ(model, "KvScsiDiskX");
}
