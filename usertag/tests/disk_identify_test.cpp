#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "disk_identify.h"

namespace {

std::string Field(const char* raw) {
    std::string field(kModelFieldSize, '\0');
    std::memcpy(&field[0], raw, std::strlen(raw));
    return field;
}

}  // namespace

TEST(DiskIdentify, ModelTextSwapsPairsUpToTheFirstZero) {
    const std::string full = "1032547698BADCFEHGJILKNMPORQTSVUXWZYbadc";
    struct Case {
        std::string field;
        std::string text;
    } cases[] = {
        {Field("tADasi1k"), "AtaDisk1"},
        {Field("aPkcteeDv"), "PacketDev"},  // the odd last byte stays in place
        {Field(""), ""},
        {Field("BA\0ZZ"), "AB"},
        {full, "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcd"},  // no zero: all 40 bytes
    };
    for (const Case& c : cases) {
        ASSERT_EQ(c.field.size(), kModelFieldSize);
        EXPECT_EQ(ModelText(reinterpret_cast<const uint8_t*>(c.field.data())), c.text);
    }
}

TEST(DiskIdentify, SmartRequestAndAnswer) {
    const struct {
        uint8_t deviceMap;
        uint8_t command;
    } maps[] = {{0x00, 0xEC}, {0x01, 0xEC}, {0x10, 0xA1}, {0x11, 0xA1}, {0x20, 0xEC}};
    for (const auto& m : maps) {
        uint8_t version[kSmartVersionSize] = {1, 1, 0, m.deviceMap};
        EXPECT_EQ(SmartDeviceMap(version), m.deviceMap);
        EXPECT_EQ(IdentifyCommandFor(SmartDeviceMap(version), 0), m.command) << int(m.deviceMap);
    }

    uint8_t expected[kSmartRequestSize] = {};
    expected[1] = 0x02;  // buffer size 512
    expected[5] = 1;     // sector count
    expected[6] = 1;     // sector number
    expected[9] = 0xA0;  // drive/head
    expected[10] = 0xA1;
    const auto request = SmartIdentifyRequest(0xA1, 0);
    EXPECT_EQ(0, std::memcmp(request.data(), expected, sizeof(expected)));
    EXPECT_EQ(SmartIdentifyRequest(0xEC, 1)[9], 0xB0);
    EXPECT_EQ(SmartIdentifyRequest(0xEC, 1)[12], 1);

    uint8_t answer[kSmartAnswerSize] = {};
    std::memcpy(answer + 70, "tADasi1k", 8);
    EXPECT_EQ(SmartAnswerModel(answer), "AtaDisk1");
}

TEST(DiskIdentify, ScsiRequestAndAnswerShareOneBuffer) {
    uint8_t buffer[kScsiBufferSize];
    std::memset(buffer, 0xEE, sizeof(buffer));
    ScsiIdentifyRequest(1, buffer);
    uint8_t expected[kScsiRequestSize] = {28,  0,   0,    0,    'S',  'C',  'S',  'I',  'D',  'I',
                                          'S', 'K', 0x10, 0x27, 0,    0,    0x01, 0x05, 0x1B, 0,
                                          0,   0,   0,    0,    0x14, 0x02, 0,    0};
    expected[38] = 0xEC;
    expected[40] = 1;
    EXPECT_EQ(0, std::memcmp(buffer, expected, sizeof(expected)));
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer) + kScsiRequestSize,
                          kScsiBufferSize - kScsiRequestSize),
              std::string(kScsiBufferSize - kScsiRequestSize, '\0'));

    std::string model = "unchanged";
    EXPECT_FALSE(ScsiAnswerModel(buffer, &model));  // nothing at the model field
    EXPECT_EQ(model, "unchanged");
    std::memcpy(buffer + 98, "vKcSisiDksX", 11);
    EXPECT_TRUE(ScsiAnswerModel(buffer, &model));
    EXPECT_EQ(model, "KvScsiDiskX");
}
