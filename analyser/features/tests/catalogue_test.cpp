#include <gtest/gtest.h>

#include <string>

#include "fake_environment.h"
#include "fake_profile.h"
#include "feature_catalogue.h"
#include "vcs.h"

namespace {

TEST(CatalogueTest, IdsNamesAndOrder) {
    struct Expected {
        int id;
        const char* name;
    };
    const Expected expected[] = {
        {6605, "ID_LargeFileSize"},    {6604, "ID_NoVerInfo"},        {6609, "ID_FakeFileName"},
        {6610, "ID_WithShell"},        {6600, "ID_NumberPrefix"},     {6603, "ID_InSysDir"},
        {6601, "ID_UseSystemIcon"},    {6602, "ID_FewAPICount"},      {6606, "ID_MultiExtName"},
        {6608, "ID_RecentCreateTime"}, {6607, "ID_BadSectionName"},   {6611, "ID_OpenPortMore"},
        {6612, "ID_WithBadAPI"},       {6613, "ID_WithMailInfo"},     {6614, "ID_EmbeddedPE"},
        {6615, "ID_WithCompiler"},     {6616, "ID_OpenPortDistrust"}, {6620, "ID_RelatedByAutoRun"},
    };
    FakeEnvironment environment;
    CFeatureCatalogue catalogue(&environment);
    const std::vector<IDataAnalyser*> features = catalogue.Features();
    ASSERT_EQ(features.size(), 18u);
    for (size_t i = 0; i < features.size(); ++i) {
        EXPECT_EQ(features[i]->GetId(), expected[i].id) << i;
        EXPECT_STREQ(features[i]->GetName(), expected[i].name) << i;
        // The hit letter is "A" plus the offset from 6600.
        EXPECT_EQ(VCS::HitLetter(expected[i].id), 'A' + (expected[i].id - 6600));
    }
    // Same objects on every call: one object per class.
    EXPECT_EQ(catalogue.Features(), features);
}

class CatalogueEngineTest : public ::testing::Test {
protected:
    CatalogueEngineTest() : engine_(catalogue_.Features(), &profile_, &table_) {
        engine_.Load(nullptr);
    }
    void SetPath(const char* path) { record_.SetPath(&path); }
    int Score() {
        hits_.clear();
        return engine_.Score(&record_, hits_);
    }

    FakeEnvironment environment_;
    CFeatureCatalogue catalogue_{&environment_};
    FakeProfile profile_;
    WeightTable table_;
    VCS::CVcs engine_;
    CDataProvider record_{1};
    std::string hits_;
};

TEST_F(CatalogueEngineTest, UnsetSizeCountsAsLarge) {
    SetPath("d:\\tools\\setup.exe");
    EXPECT_EQ(Score(), 0);
    EXPECT_EQ(hits_, "F");
    EXPECT_EQ(engine_.GetScore(), -10);
}

TEST_F(CatalogueEngineTest, NameAndLocationFeaturesTogether) {
    SetPath("C:\\Windows\\Temp\\1photo.jpg.exe");
    const int size = 1000;
    record_.SetFileSize(&size);
    const int64_t created = environment_.now - 3600;
    record_.SetCreateTime(&created);
    EXPECT_EQ(Score(), 0);
    EXPECT_EQ(hits_, "ADGI");
    EXPECT_EQ(engine_.GetScore(), 30 + 20 + 60 + 30);
}

TEST_F(CatalogueEngineTest, ImageFeaturesDoNotFireWithoutContent) {
    SetPath("d:\\x\\y.exe");
    const int size = 100;
    record_.SetFileSize(&size);
    Score();
    EXPECT_EQ(hits_, "");
    for (const auto& entry : engine_.Registry()) EXPECT_EQ(entry.result, 0) << entry.id;
}

}  // namespace
