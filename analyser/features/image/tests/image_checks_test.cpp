#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "crc32.h"
#include "mail_text.h"
#include "section_names.h"
#include "system_icon_table.h"
#include "version_text.h"

namespace {

bool Known(const std::string& name) {
    return IsKnownSectionName(reinterpret_cast<const unsigned char*>(name.data()), name.size());
}

TEST(SectionNameTest, KnownOverTheShorterLength) {
    for (const char* name : {".text", ".data", ".rdata", ".textbss", ".t", "", ".", ".r", ".dat",
                             ".rdata$x", ".data1"}) {
        EXPECT_TRUE(Known(name)) << name;
    }
    for (const char* name : {".rsrc", ".reloc", ".idata", ".bss", "UPX0", ".tls", "text", ".Text",
                             ".rdat_", ".u", "\xFF"}) {
        EXPECT_FALSE(Known(name)) << name;
    }
}

// Every prefix and extension of each known name is known; a name with any one of its
// characters changed, in letter case or by one code, is not.
TEST(SectionNameTest, EveryCharacterOfEachKnownName) {
    for (const std::string name : {".data", ".rdata", ".text"}) {
        for (size_t cut = 0; cut <= name.size(); ++cut) EXPECT_TRUE(Known(name.substr(0, cut)));
        EXPECT_TRUE(Known(name + "$x"));
        for (size_t i = 0; i < name.size(); ++i) {
            for (const char changed :
                 {static_cast<char>(name[i] ^ 0x20), static_cast<char>(name[i] + 1)}) {
                std::string other = name;
                other[i] = changed;
                EXPECT_FALSE(Known(other)) << other;
            }
        }
    }
}

// Two section headers at nt + 248, the second one's name given.
std::vector<unsigned char> SectionTable(const char* secondName, int ntOffset = 0) {
    std::vector<unsigned char> bytes(ntOffset + kSectionTableDistance + 2 * kSectionHeaderSize);
    std::memcpy(&bytes[ntOffset + kSectionTableDistance], ".text", 5);
    std::memcpy(&bytes[ntOffset + kSectionTableDistance + kSectionHeaderSize], secondName,
                std::strlen(secondName));
    return bytes;
}

TEST(SectionNameTest, ScansHeadersThatLieInsideTheContent) {
    std::vector<unsigned char> table = SectionTable(".rsrc", 16);
    const int size = static_cast<int>(table.size());
    EXPECT_TRUE(HasUnknownSectionName(table.data(), size, 16, 2));
    EXPECT_FALSE(HasUnknownSectionName(table.data(), size, 16, 1));
    // The second header one byte short of whole ends the scan.
    EXPECT_FALSE(HasUnknownSectionName(table.data(), size - 1, 16, 2));
    // A count beyond the table reads no further than the content.
    EXPECT_TRUE(HasUnknownSectionName(table.data(), size, 16, 0x7FFFFFFF));
    EXPECT_FALSE(HasUnknownSectionName(table.data(), size, 0x7FFFFFFF, 2));
    EXPECT_FALSE(HasUnknownSectionName(table.data(), size, -1, 2));

    // An eight-byte name has no terminator inside its field.
    std::vector<unsigned char> full = SectionTable(".textbssXYZ");
    EXPECT_FALSE(HasUnknownSectionName(full.data(), static_cast<int>(full.size()), 0, 2));
    full = SectionTable(".rdata\0\0");
    EXPECT_FALSE(HasUnknownSectionName(full.data(), static_cast<int>(full.size()), 0, 2));
}

bool Mail(const std::string& text) {
    return LooksLikeMailAddress(text.c_str(), static_cast<int>(text.size()));
}

TEST(MailTextTest, TenCharacterTexts) {
    EXPECT_TRUE(Mail("abc@ef.hij"));   // "@" at 3, dot fourth from the end
    EXPECT_FALSE(Mail("a@cdef.hij"));  // "@" at 1 is never looked at
    EXPECT_TRUE(Mail("abc@e.ghij"));   // dot fifth from the end, one character between
    EXPECT_FALSE(Mail("abcdef@.ij"));  // the character before the dot is passed over
    EXPECT_FALSE(Mail("ab@defghi."));  // the last character is never looked at
    EXPECT_FALSE(Mail("@bcdefg.ij"));  // index 0 is never looked at either
}

TEST(MailTextTest, DotWindowAndOrdinaryAddresses) {
    EXPECT_TRUE(Mail("someone@example.com"));
    EXPECT_TRUE(Mail("someone@example.info"));     // dot at the fourth step
    EXPECT_FALSE(Mail("someone@example.museum"));  // dot beyond it
    EXPECT_FALSE(Mail("someone.example@com"));     // no dot near the end
    EXPECT_FALSE(Mail("abcdefghij"));
    EXPECT_TRUE(Mail("ab@d.f.hij"));   // the first dot seen counts
    EXPECT_FALSE(Mail("abcde@.hij"));  // dot fourth from the end, "@" passed over
    EXPECT_TRUE(Mail("abc@efghi.jk"));
}

TEST(MailTextTest, StopsAtTheFirstZeroAndTheLength) {
    const char text[] = "abc@ef.hij\0zzzzzzz";
    EXPECT_TRUE(LooksLikeMailAddress(text, sizeof(text) - 1));
    EXPECT_FALSE(LooksLikeMailAddress("abc@ef.hij", 6));
    EXPECT_FALSE(LooksLikeMailAddress("a.c", 3));
    EXPECT_FALSE(LooksLikeMailAddress("", 0));
    EXPECT_FALSE(LooksLikeMailAddress(nullptr, 10));
}

std::vector<unsigned char> Utf16(const std::string& text, bool terminate = true) {
    std::vector<unsigned char> bytes;
    for (char c : text) {
        bytes.push_back(static_cast<unsigned char>(c));
        bytes.push_back(0);
    }
    if (terminate) bytes.insert(bytes.end(), {0, 0});
    return bytes;
}

std::string Copyright(const std::vector<unsigned char>& bytes) {
    return LegalCopyrightText(bytes.data(), static_cast<int>(bytes.size()));
}

TEST(VersionTextTest, ValueAfterTheKey) {
    std::vector<unsigned char> data = {1, 2, 3};
    const std::vector<unsigned char> key = Utf16("LegalCopyright");
    const std::vector<unsigned char> value = Utf16("(C) Someone");
    data.insert(data.end(), key.begin(), key.end());
    data.insert(data.end(), value.begin(), value.end());
    EXPECT_EQ(Copyright(data), "(C) Someone");

    // An unterminated value runs to the end of the data; an odd last byte is not read.
    data.resize(data.size() - 3);
    EXPECT_EQ(Copyright(data), "(C) Someon");
    EXPECT_EQ(Copyright(Utf16("LegalTrademarks ...........")), "");
}

TEST(VersionTextTest, KeyNearTheEnd) {
    // The key is looked for at offsets up to size - 29 only.
    std::vector<unsigned char> data = Utf16("LegalCopyright", false);
    data.push_back(0);
    EXPECT_EQ(data.size(), 29u);
    EXPECT_EQ(Copyright(data), "");
    data = Utf16("LegalCopyright");
    data.push_back('X');
    data.push_back(0);
    EXPECT_EQ(Copyright(data), "X");
    EXPECT_EQ(Copyright(Utf16("LegalCopyright", false)), "");  // 28 bytes: too short
    EXPECT_EQ(LegalCopyrightText(nullptr, 100), "");
}

TEST(SystemIconTableTest, SortedDistinctWithTheFixedEnds) {
    const uint32_t* table = SystemIconChecksums();
    const std::vector<uint32_t> values(table, table + kSystemIconChecksumCount);
    EXPECT_EQ(values.size(), 438u);
    EXPECT_EQ(std::set<uint32_t>(values.begin(), values.end()).size(), 438u);
    EXPECT_TRUE(std::is_sorted(values.begin(), values.end()));
    const std::vector<uint32_t> head = {0x0065003C, 0x00EE353F, 0x03F7A4FE, 0x046FA604};
    const std::vector<uint32_t> tail = {0xFE938D45, 0xFEEDA563, 0xFF4B333C};
    EXPECT_EQ(std::vector<uint32_t>(values.begin(), values.begin() + 4), head);
    EXPECT_EQ(std::vector<uint32_t>(values.end() - 3, values.end()), tail);
    for (uint32_t value : values) EXPECT_TRUE(IsSystemIconChecksum(value)) << value;
    EXPECT_FALSE(IsSystemIconChecksum(0));
    EXPECT_FALSE(IsSystemIconChecksum(0x0065003D));
    EXPECT_FALSE(IsSystemIconChecksum(0xFFFFFFFF));
    // The values as regenerate.sh wrote them: any one changed changes this checksum.
    uint32_t crc = 0;
    CCRC32().Compute(table, 4 * kSystemIconChecksumCount, &crc);
    EXPECT_EQ(crc, 0x8EC32A79u);
}

}  // namespace
