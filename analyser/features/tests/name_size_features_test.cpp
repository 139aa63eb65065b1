#include <gtest/gtest.h>

#include <string>

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

TEST_F(MultiExtNameTest, InnerExtensionDecides) {
    EXPECT_EQ(Check("c:\\docs\\photo.jpg.exe"), 1);
    EXPECT_EQ(Check("readme.txt.scr"), 1);
    EXPECT_EQ(Check("archive.tar.gz"), 1);
    EXPECT_EQ(Check("c:\\a\\x.dvr-ms.exe"), 1);
    EXPECT_EQ(Check("x.DeskLink.exe"), 1);
    EXPECT_EQ(Check("x.ZFSendToTarget.exe"), 1);
    EXPECT_EQ(Check("photo.exe"), 0);
    EXPECT_EQ(Check("a.b.jpg.exe"), 0);
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
