#include <cstring>
#include <set>
#include <string>

#include <gtest/gtest.h>

#include "crc32.h"
#include "look_alike_table.h"
#include "system_file_names.h"

namespace {

// CRC-32 of the texts, each followed by a line feed: any text changed, lost, added or
// moved changes it. The values were taken over the published lists, not over this code.
uint32_t TableChecksum(const char* (*textAt)(size_t), size_t count) {
    std::string all;
    for (size_t i = 0; i < count; ++i) all.append(textAt(i)).push_back('\n');
    uint32_t crc = 0;
    CCRC32().Compute(all.data(), static_cast<uint32_t>(all.size()), &crc);
    return crc;
}

bool IsAllowedNameCharacter(char c) {
    return c == '.' || c == '_' || (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') ||
           (c >= 'a' && c <= 'z');
}

}  // namespace

TEST(SystemFileNames, HoldsTheWholeTable) {
    ASSERT_EQ(1410u, kSystemFileNameCount);
    EXPECT_STREQ("ADVAPI32.DLL", kSystemFileNames[0]);
    EXPECT_STREQ("a3d.dll", kSystemFileNames[127]);  // the first small letter
    EXPECT_STREQ("svchost.exe", kSystemFileNames[1245]);
    EXPECT_STREQ("xolehlp.dll", kSystemFileNames[1409]);
    EXPECT_EQ(0x886EFBDDu,
              TableChecksum([](size_t i) -> const char* { return kSystemFileNames[i]; },
                            kSystemFileNameCount));
}

TEST(SystemFileNames, AreShortPlainNamesInUnsignedByteOrder) {
    for (size_t i = 0; i < kSystemFileNameCount; ++i) {
        const char* name = kSystemFileNames[i];
        const size_t length = strnlen(name, kSystemNameSlotSize);
        EXPECT_GE(length, 1u) << i;
        EXPECT_LE(length, 16u) << name;
        for (size_t k = 0; k < length; ++k) EXPECT_TRUE(IsAllowedNameCharacter(name[k])) << name;
        if (i > 0) {
            // strcmp orders by unsigned bytes; strictly, so no name is listed twice.
            EXPECT_LT(std::strcmp(kSystemFileNames[i - 1], name), 0) << name;
        }
    }
}

TEST(LookAlikeStrings, HoldTheWholeTableOneStringPerKey) {
    ASSERT_EQ(85u, kLookAlikeStringCount);
    std::set<char> keys;
    for (size_t i = 0; i < kLookAlikeStringCount; ++i) {
        const char* text = kLookAlikeStrings[i];
        ASSERT_NE('\0', text[0]);
        EXPECT_GT(text[0], ' ') << text;
        EXPECT_LT(text[0], 127) << text;
        EXPECT_TRUE(keys.insert(text[0]).second) << "key listed twice: " << text;
    }
    EXPECT_STREQ("!l1.,;", kLookAlikeStrings[0]);
    EXPECT_STREQ("'`!';,.", kLookAlikeStrings[5]);
    EXPECT_STREQ("0o8@OQ", kLookAlikeStrings[12]);
    EXPECT_STREQ("L[I", kLookAlikeStrings[36]);
    EXPECT_STREQ("uo0aqvyQO", kLookAlikeStrings[76]);
    EXPECT_STREQ("~-=_^'", kLookAlikeStrings[84]);
    EXPECT_EQ(0x7F31C117u,
              TableChecksum([](size_t i) { return kLookAlikeStrings[i]; }, kLookAlikeStringCount));
}
