#include <gtest/gtest.h>

#include <string>

#include "crc32.h"
#include "data_provider.h"
#include "extension_table.h"
#include "large_file_size.h"
#include "multi_ext_name.h"
#include "number_prefix.h"
#include "subject_probe.h"

namespace {

TEST(LargeFileSizeTest, AboveOneMebibyte) {
    CLargeFileSize feature;
    EXPECT_EQ(AnalyseWithSize(feature, 1048576), 0);
    EXPECT_EQ(AnalyseWithSize(feature, 1048577), 1);
    EXPECT_EQ(AnalyseWithSize(feature, 0), 0);
    EXPECT_EQ(AnalyseWithSize(feature, -1), 1);
    EXPECT_EQ(AnalyseWithSize(feature, -2000000000), 1);
    CDataProvider unset(1);
    EXPECT_EQ(feature.Analyse(&unset), 1);
}

// Every byte that can start a file name: only the ten digits fire.
TEST(NumberPrefixTest, EveryFirstByte) {
    CNumberPrefix feature;
    for (int c = 1; c < 256; ++c) {
        if (c == '\\' || c == '/') continue;  // they end the directory part
        const std::string path = "c:\\x\\" + std::string(1, static_cast<char>(c)) + "y.exe";
        EXPECT_EQ(c >= '0' && c <= '9' ? 1 : 0, AnalyseWithPath(feature, path)) << c;
    }
}

TEST(NumberPrefixTest, FirstByteOfTheBaseName) {
    CNumberPrefix feature;
    EXPECT_EQ(AnalyseWithPath(feature, "c:\\x\\1setup.exe"), 1);
    EXPECT_EQ(AnalyseWithPath(feature, "c:\\x\\setup1.exe"), 0);
    EXPECT_EQ(AnalyseWithPath(feature, "0"), 1);
    EXPECT_EQ(AnalyseWithPath(feature, "9.exe"), 1);
    EXPECT_EQ(AnalyseWithPath(feature, "c:\\x\\\xB2\xE2.exe"), 0);
    EXPECT_EQ(AnalyseWithPath(feature, "\xA3\xB1.exe"), 0);
    EXPECT_EQ(AnalyseWithPath(feature, "c:\\x\\.1rc"), 0);  // the base name is empty
    EXPECT_EQ(AnalyseWithPath(feature, "c:\\9dir\\a.exe"), 0);
    EXPECT_EQ(AnalyseWithPath(feature, ""), 0);
    EXPECT_EQ(AnalyseWithPath(feature, "c:2x.exe"), 1);
    EXPECT_EQ(AnalyseWithPath(feature, " 1.exe"), 0);
}

class MultiExtNameTest : public ::testing::Test {
protected:
    MultiExtNameTest() { feature_.Prepare(); }
    int Check(const std::string& path) { return AnalyseWithPath(feature_, path); }
    CMultiExtName feature_;
};

TEST_F(MultiExtNameTest, TableHoldsEveryEntryOnce) {
    EXPECT_EQ(kKnownExtensionCount, 375u);
    std::set<std::string> entries(kKnownExtensions, kKnownExtensions + kKnownExtensionCount);
    EXPECT_EQ(entries.size(), 375u);
    EXPECT_EQ(std::string(kKnownExtensions[0]), "323");
    EXPECT_EQ(std::string(kKnownExtensions[374]), "ZFSendToTarget");
}

// Every entry fires as the inner extension; its other-case spelling fires only where the
// table lists that spelling too. The table is pinned whole by its checksum, taken over the
// published list of entries.
TEST_F(MultiExtNameTest, EveryEntryFiresInItsOwnCaseOnly) {
    const std::set<std::string> entries(kKnownExtensions, kKnownExtensions + kKnownExtensionCount);
    std::string all;
    for (size_t i = 0; i < kKnownExtensionCount; ++i) {
        const std::string entry = kKnownExtensions[i];
        all += entry + "\n";
        EXPECT_EQ(1, Check("c:\\a\\x." + entry + ".exe")) << entry;
        std::string flipped = entry;
        for (char& c : flipped) {
            if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) c = static_cast<char>(c ^ 0x20);
        }
        if (flipped != entry) {
            EXPECT_EQ(entries.count(flipped), Check("x." + flipped + ".exe")) << flipped;
        }
    }
    uint32_t crc = 0;
    CCRC32().Compute(all.data(), static_cast<uint32_t>(all.size()), &crc);
    EXPECT_EQ(0x327A5F50u, crc);
}

TEST_F(MultiExtNameTest, InnerExtensionDecides) {
    EXPECT_EQ(Check("c:\\docs\\photo.jpg.exe"), 1);
    EXPECT_EQ(Check("readme.txt.scr"), 1);
    EXPECT_EQ(Check("archive.tar.gz"), 1);
    EXPECT_EQ(Check("c:\\a\\x.dvr-ms.exe"), 1);
    EXPECT_EQ(Check("x.DeskLink.exe"), 1);
    EXPECT_EQ(Check("x.ZFSendToTarget.exe"), 1);
    EXPECT_EQ(Check("photo.exe"), 0);
    EXPECT_EQ(Check("a.b.jpg.exe"), 0);
    EXPECT_EQ(Check("a.jpg.txt.exe"), 0);
    EXPECT_EQ(Check("photo.JPG.exe"), 0);
    EXPECT_EQ(Check("x.TXT.exe"), 0);
    EXPECT_EQ(Check("x.desklink.exe"), 0);
    EXPECT_EQ(Check("x.jpgx.exe"), 0);
    EXPECT_EQ(Check("photo..exe"), 0);
    EXPECT_EQ(Check("c:\\dir.jpg\\file.exe"), 0);
    EXPECT_EQ(Check("photo.jpg."), 1);
    EXPECT_EQ(Check(""), 0);
}

TEST(MultiExtNameUnpreparedTest, NothingFiresBeforePrepareAndPrepareRepeats) {
    CMultiExtName feature;
    EXPECT_EQ(AnalyseWithPath(feature, "photo.jpg.exe"), 0);
    EXPECT_EQ(feature.Prepare(), 1);
    EXPECT_EQ(feature.Prepare(), 1);
    EXPECT_EQ(AnalyseWithPath(feature, "photo.jpg.exe"), 1);
}

}  // namespace
