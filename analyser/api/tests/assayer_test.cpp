#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "assayer.h"
#include "fake_platform.h"
#include "fake_profile.h"
#include "stub_feature.h"
#include "vcs.h"

namespace {

class AssayerTest : public ::testing::Test {
protected:
    AssayerTest()
        : engine_(stubs_.Features(), &profile_, &table_),
          assayer_(
              &engine_, &platform_,
              AnalyserDirectories{"c:\\windows", "c:\\windows\\system32", "c:\\program files"}) {}

    void Describe(int id, const char* path, const std::vector<unsigned char>& bytes) {
        assayer_.AppendInfo(id, 0, 0, kFactPath, &path);
        const int size = static_cast<int>(bytes.size());
        assayer_.AppendInfo(id, 0, 0, kFactSize, &size);
        const unsigned char* data = bytes.data();
        assayer_.AppendInfo(id, 0, 0, kFactContent, &data);
    }
    std::string Hits() {
        char buffer[64];
        assayer_.GetAnalyseHits(buffer, sizeof(buffer));
        return buffer;
    }
    int TotalAnalyses() {
        int total = 0;
        for (int id : StubCatalogue::kCatalogueIds) total += stubs_.Get(id).analyses;
        return total;
    }

    StubCatalogue stubs_;
    FakeProfile profile_;
    WeightTable table_;
    VCS::CVcs engine_;
    FakePlatform platform_;
    CAssayer assayer_;
    const std::vector<unsigned char> bytes_ = std::vector<unsigned char>(400, 'M');
};

TEST_F(AssayerTest, BeforeInitNothingScores) {
    stubs_.Fire({6602, 6606, 6609});
    Describe(1, "c:\\a.exe", bytes_);
    EXPECT_EQ(assayer_.AnalyseInfo(1), 0);
    EXPECT_EQ(assayer_.GetAnalyseResult(), 0);
    EXPECT_EQ(TotalAnalyses(), 0);
}

TEST_F(AssayerTest, UnknownSubjectIsNotSuspicious) {
    assayer_.Init(nullptr, nullptr, nullptr);
    stubs_.Fire({6602, 6606, 6609});
    Describe(1, "c:\\a.exe", bytes_);
    EXPECT_EQ(assayer_.AnalyseInfo(1), 1);
    EXPECT_EQ(assayer_.GetAnalyseResult(), 170);
    EXPECT_EQ(Hits(), "CGJ");
    EXPECT_EQ(assayer_.AnalyseInfo(2), 0);
    EXPECT_EQ(assayer_.GetAnalyseResult(), 0);
    EXPECT_EQ(Hits(), "");
}

TEST_F(AssayerTest, ScreenedOutFileRunsNoFeature) {
    assayer_.Init(nullptr, nullptr, nullptr);
    stubs_.Fire({6602, 6606, 6609});
    platform_.codes["c:\\text.exe"] = kNotImage;
    Describe(1, "c:\\text.exe", bytes_);
    EXPECT_EQ(assayer_.AnalyseInfo(1), 0);
    EXPECT_EQ(assayer_.GetAnalyseResult(), 0);
    EXPECT_EQ(TotalAnalyses(), 0);
    EXPECT_EQ(Hits(), "");
}

TEST_F(AssayerTest, EveryOtherCodeIsScored) {
    assayer_.Init(nullptr, nullptr, nullptr);
    stubs_.Fire({6602});
    const uint16_t codes[] = {kOpenFailed,      kMappingFailed, kViewFailed, kDamagedImage,
                              kExecutableImage, kLibraryImage,  kDriverImage};
    int id = 0;
    for (uint16_t code : codes) {
        const std::string path = "c:\\f" + std::to_string(code);
        platform_.codes[path] = code;
        Describe(++id, path.c_str(), bytes_);
        assayer_.AnalyseInfo(id);
        EXPECT_EQ(assayer_.GetAnalyseResult(), 60) << code;
    }
    // No path screens as code 1 and is scored too.
    const int size = 400;
    const unsigned char* data = bytes_.data();
    assayer_.AppendInfo(50, 0, 0, kFactSize, &size);
    assayer_.AppendInfo(50, 0, 0, kFactContent, &data);
    assayer_.AnalyseInfo(50);
    EXPECT_EQ(assayer_.GetAnalyseResult(), 60);
}

// Right after a subject that scored, each kind of subject that is not scored answers
// "not suspicious", result 0 and no hit letters, and leaves the scored one as it was.
TEST_F(AssayerTest, EveryUnscoredSubjectAfterAScoredOneAnswersZero) {
    assayer_.Init(nullptr, nullptr, nullptr);
    stubs_.Fire({6602, 6606, 6609});
    Describe(1, "c:\\scored.exe", bytes_);
    platform_.codes["c:\\text.exe"] = kNotImage;
    Describe(2, "c:\\text.exe", bytes_);  // screened out
    const char* bare = "c:\\bare.exe";
    assayer_.AppendInfo(3, 0, 0, kFactPath, &bare);  // no bytes
    const unsigned char* data = bytes_.data();
    assayer_.AppendInfo(4, 0, 0, kFactContent, &data);  // bytes before any size
    assayer_.AppendInfo(5, 0, 0, 9, &bare);             // a fact of unknown kind only
    const int empty = 0;
    assayer_.AppendInfo(6, 0, 0, kFactSize, &empty);  // bytes of a size -1 after the copy
    assayer_.AppendInfo(6, 0, 0, kFactContent, &data);
    const int unset = -1;
    assayer_.AppendInfo(6, 0, 0, kFactSize, &unset);
    for (int unscored : {2, 3, 4, 5, 6, 99}) {
        ASSERT_EQ(1, assayer_.AnalyseInfo(1));
        ASSERT_EQ(170, assayer_.GetAnalyseResult());
        EXPECT_EQ(0, assayer_.AnalyseInfo(unscored)) << unscored;
        EXPECT_EQ(0, assayer_.GetAnalyseResult()) << unscored;
        EXPECT_EQ(0, assayer_.GetAnalyseHits(nullptr, 0)) << unscored;
        EXPECT_EQ("", Hits()) << unscored;
    }
    EXPECT_EQ(1, assayer_.AnalyseInfo(1));
    EXPECT_EQ("CGJ", Hits());
}

TEST_F(AssayerTest, NoContentNoScore) {
    assayer_.Init(nullptr, nullptr, nullptr);
    stubs_.Fire({6602, 6606, 6609});
    const char* path = "c:\\a.exe";
    assayer_.AppendInfo(1, 0, 0, kFactPath, &path);
    EXPECT_EQ(assayer_.AnalyseInfo(1), 0);
    EXPECT_EQ(assayer_.GetAnalyseResult(), 0);
    EXPECT_EQ(TotalAnalyses(), 0);

    // Content before size is not kept either.
    const unsigned char* data = bytes_.data();
    assayer_.AppendInfo(1, 0, 0, kFactContent, &data);
    const int size = 400;
    assayer_.AppendInfo(1, 0, 0, kFactSize, &size);
    EXPECT_EQ(assayer_.AnalyseInfo(1), 0);
    EXPECT_EQ(TotalAnalyses(), 0);
    assayer_.AppendInfo(1, 0, 0, kFactContent, &data);
    EXPECT_EQ(assayer_.AnalyseInfo(1), 1);
}

TEST_F(AssayerTest, OneRecordPerSubjectId) {
    EXPECT_EQ(assayer_.AppendInfo(9, 0, 0, 9, nullptr), 1);
    EXPECT_EQ(assayer_.SubjectCount(), 1u);
    const char* path = "c:\\late.exe";
    assayer_.AppendInfo(9, 0, 0, kFactPath, &path);
    assayer_.AppendInfo(9, 0, 0, 0, &path);
    assayer_.AppendInfo(9, 0, 0, 6, &path);
    EXPECT_EQ(assayer_.SubjectCount(), 1u);
    EXPECT_STREQ(assayer_.FindSubject(9)->GetPath(), "c:\\late.exe");

    const char* other = "c:\\other.exe";
    assayer_.AppendInfo(10, 0, 0, kFactPath, &other);
    EXPECT_EQ(assayer_.SubjectCount(), 2u);
    // A later fact of the same kind replaces the earlier one.
    assayer_.AppendInfo(9, 0, 0, kFactPath, &other);
    EXPECT_STREQ(assayer_.FindSubject(9)->GetPath(), "c:\\other.exe");
    EXPECT_EQ(assayer_.SubjectCount(), 2u);
}

TEST_F(AssayerTest, FactsAreCopiedByKind) {
    const int64_t created = 1700000000;
    const uint64_t stamp = 0xAABBCCDDEEFF0011ULL;
    const int size = -7;
    assayer_.AppendInfo(3, 0, 0, kFactCreateTime, &created);
    assayer_.AppendInfo(3, 0, 0, kFactStamp, &stamp);
    assayer_.AppendInfo(3, 0, 0, kFactSize, &size);
    CDataProvider* record = assayer_.FindSubject(3);
    EXPECT_EQ(*record->GetCreateTime(), created);
    EXPECT_EQ(*record->GetStamp(), stamp);
    EXPECT_EQ(record->GetFileSize(), -7);
    // A null data pointer carries no fact.
    for (int kind = 1; kind <= 5; ++kind) EXPECT_EQ(assayer_.AppendInfo(3, 0, 0, kind, nullptr), 1);
    EXPECT_EQ(record->GetFileSize(), -7);
}

TEST_F(AssayerTest, ReleaseInfoDropsEverySubject) {
    assayer_.Init(nullptr, nullptr, nullptr);
    stubs_.Fire({6602});
    Describe(1, "c:\\a.exe", bytes_);
    Describe(2, "c:\\b.exe", bytes_);
    EXPECT_EQ(assayer_.ReleaseInfo(), 1);
    EXPECT_EQ(assayer_.SubjectCount(), 0u);
    EXPECT_EQ(assayer_.AnalyseInfo(1), 0);
    EXPECT_EQ(assayer_.GetAnalyseResult(), 0);

    EXPECT_EQ(assayer_.Release(), 1);
    Describe(1, "c:\\a.exe", bytes_);
    assayer_.AnalyseInfo(1);
    EXPECT_EQ(assayer_.GetAnalyseResult(), 60);
}

TEST_F(AssayerTest, HitLettersAreCutToTheBuffer) {
    assayer_.Init(nullptr, nullptr, nullptr);
    stubs_.Fire({6600, 6609, 6620});
    Describe(1, "c:\\a.exe", bytes_);
    assayer_.AnalyseInfo(1);
    char buffer[8];
    memset(buffer, 'x', sizeof(buffer));
    EXPECT_EQ(assayer_.GetAnalyseHits(buffer, 3), 3);
    EXPECT_STREQ(buffer, "AJ");
    EXPECT_EQ(assayer_.GetAnalyseHits(buffer, 4), 3);
    EXPECT_STREQ(buffer, "AJU");
    memset(buffer, 'x', sizeof(buffer));
    EXPECT_EQ(assayer_.GetAnalyseHits(buffer, 1), 3);
    EXPECT_EQ(buffer[0], '\0');
    buffer[0] = 'x';
    EXPECT_EQ(assayer_.GetAnalyseHits(buffer, 0), 3);
    EXPECT_EQ(assayer_.GetAnalyseHits(buffer, -5), 3);
    EXPECT_EQ(buffer[0], 'x');
    EXPECT_EQ(assayer_.GetAnalyseHits(nullptr, 100), 3);
}

TEST_F(AssayerTest, InitReloadsTheEngine) {
    profile_.Set("ITEMCOUNT", "num", "0");
    profile_.Set("THRESHOLD", "value", "59");
    stubs_.Fire({6602});
    Describe(1, "c:\\a.exe", bytes_);
    assayer_.Init("c:\\score.ini", "c:\\db1", "c:\\db2");
    EXPECT_EQ(assayer_.AnalyseInfo(1), 1);
    assayer_.Init(nullptr, nullptr, nullptr);
    EXPECT_EQ(assayer_.AnalyseInfo(1), 0);
    EXPECT_EQ(assayer_.GetAnalyseResult(), 60);
    EXPECT_EQ(assayer_.Captor().EngineName(), "");
    EXPECT_EQ(assayer_.Captor().Directories().programFilesDir, "c:\\program files");
}

}  // namespace
