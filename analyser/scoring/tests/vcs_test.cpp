#include <gtest/gtest.h>

#include <set>

#include "data_provider.h"
#include "fake_profile.h"
#include "stub_feature.h"
#include "vcs.h"

namespace {

using VCS::CVcs;

class VcsTest : public ::testing::Test {
protected:
    VcsTest() : engine_(stubs_.Features(), &profile_, &table_) {}

    int Score(std::string* letters = nullptr) {
        std::string hits;
        const int verdict = engine_.Score(&record_, hits);
        if (letters != nullptr) *letters = hits;
        return verdict;
    }

    std::vector<int> calls_;
    StubCatalogue stubs_{&calls_};
    FakeProfile profile_;
    WeightTable table_;
    CVcs engine_;
    CDataProvider record_{1};
};

TEST_F(VcsTest, RegistryKeepsCatalogueOrderAndIds) {
    ASSERT_EQ(engine_.Registry().size(), 18u);
    for (size_t i = 0; i < 18; ++i) {
        EXPECT_EQ(engine_.Registry()[i].id, StubCatalogue::kCatalogueIds[i]);
    }
    EXPECT_STREQ(engine_.GetName(), "");
    EXPECT_EQ(engine_.Threshold(), 150);
}

TEST_F(VcsTest, NothingRunsBeforeTheFirstLoad) {
    stubs_.Fire({6602, 6606, 6609});
    std::string hits;
    EXPECT_EQ(Score(&hits), 0);
    EXPECT_EQ(engine_.GetScore(), 0);
    EXPECT_EQ(hits, "");
    EXPECT_EQ(stubs_.Get(6602).analyses, 0);
}

TEST_F(VcsTest, RulesAreEvaluatedNegativeWeightsFirst) {
    engine_.Load(nullptr);
    const std::vector<int> expected = {6605, 6615, 6600, 6601, 6602, 6603, 6604, 6606, 6607, 6620,
                                       6608, 6609, 6610, 6611, 6612, 6613, 6614, 6616, 6617};
    std::vector<int> ruleIds;
    for (const Rule& rule : engine_.Rules()) ruleIds.push_back(rule.id);
    EXPECT_EQ(ruleIds, expected);

    calls_.clear();
    Score();
    // Every feature ran exactly once, in rule order; 6617 has no feature.
    std::vector<int> withoutUnregistered(expected.begin(), expected.end() - 1);
    EXPECT_EQ(calls_, withoutUnregistered);
}

TEST_F(VcsTest, RuleMasksCarryTheRuleBit) {
    for (const Rule& rule : BuiltInRules()) {
        const int bit = rule.id - 6600;
        std::array<uint32_t, 4> mask = {};
        mask[bit / 32] = 1u << (bit % 32);
        EXPECT_EQ(rule.mask, mask) << rule.id;
        EXPECT_EQ(rule.featureIds, std::vector<int32_t>{rule.id});
    }
    EXPECT_EQ(BuiltInRules()[8].mask[0], 0x100000u);
}

TEST_F(VcsTest, PrepareRunsOnEveryLoadInRegistryOrder) {
    engine_.Load(nullptr);
    engine_.Load(nullptr);
    EXPECT_EQ(stubs_.Get(6605).prepares, 2);
    EXPECT_EQ(stubs_.Get(6620).prepares, 2);
    ASSERT_EQ(calls_.size(), 36u);
    EXPECT_EQ(calls_[0], -6605);
    EXPECT_EQ(calls_[17], -6620);
}

TEST_F(VcsTest, NotifyReachesEveryFeature) {
    engine_.Notify(3);
    for (int id : StubCatalogue::kCatalogueIds) EXPECT_EQ(stubs_.Get(id).lastNotify, 3);
}

TEST_F(VcsTest, SumsAgainstTheStrictThreshold) {
    engine_.Load(nullptr);
    stubs_.Fire({6602, 6606});
    EXPECT_EQ(Score(), 0);
    EXPECT_EQ(engine_.GetScore(), 120);

    stubs_.Fire({6609});
    EXPECT_EQ(Score(), 1);
    EXPECT_EQ(engine_.GetScore(), 170);

    // Exactly at the threshold is not suspicious: 60 + 60 + 30.
    stubs_.Get(6609).result = 0;
    stubs_.Fire({6600});
    EXPECT_EQ(Score(), 0);
    EXPECT_EQ(engine_.GetScore(), 150);
}

TEST_F(VcsTest, NegativeWeightsSubtract) {
    engine_.Load(nullptr);
    stubs_.Fire({6605, 6615});
    std::string hits;
    EXPECT_EQ(Score(&hits), 0);
    EXPECT_EQ(engine_.GetScore(), -40);
    EXPECT_EQ(hits, "FP");
}

TEST_F(VcsTest, OnlyExactlyOneFires) {
    engine_.Load(nullptr);
    stubs_.Get(6602).result = 2;
    stubs_.Get(6606).result = -1;
    stubs_.Get(6609).result = 1;
    std::string hits;
    Score(&hits);
    EXPECT_EQ(engine_.GetScore(), 50);
    EXPECT_EQ(hits, "J");
}

// Whatever a feature answers, it is asked once for each subject, and again for the next.
// (A -1 would be asked again by a later rule naming the same feature; no built-in rule
// names another's feature.)
TEST_F(VcsTest, EveryAnswerIsAskedOncePerSubject) {
    engine_.Load(nullptr);
    const std::pair<int, int> answers[] = {{6602, -1}, {6606, 0}, {6609, 1}, {6600, 2}};
    for (const auto& answer : answers) stubs_.Get(answer.first).result = answer.second;
    Score();
    Score();
    for (const auto& answer : answers) {
        EXPECT_EQ(2, stubs_.Get(answer.first).analyses) << answer.second;
    }
}

TEST(RuleOrderTest, BuiltInRulesInCreationOrder) {
    const std::pair<int32_t, int32_t> expected[] = {
        {6600, 30}, {6601, 30}, {6602, 60},  {6603, 20}, {6604, 30}, {6605, -10}, {6606, 60},
        {6607, 10}, {6620, 70}, {6608, 30},  {6609, 50}, {6610, 30}, {6611, 50},  {6612, 40},
        {6613, 20}, {6614, 50}, {6615, -30}, {6616, 5},  {6617, 15}};
    const std::vector<Rule> rules = BuiltInRules();
    ASSERT_EQ(19u, rules.size());
    for (size_t i = 0; i < rules.size(); ++i) {
        EXPECT_EQ(expected[i], std::make_pair(rules[i].id, rules[i].weight)) << i;
    }
}

// Pairs the built-in rules never put side by side: a negative weight goes before a
// positive one whatever the feature counts; a weight of 0 has no sign; among equal signs
// the rule with more features goes first; otherwise creation order stays.
TEST(RuleOrderTest, NegativeFirstThenMoreFeaturesThenCreationOrder) {
    struct Case {
        int32_t firstWeight;
        size_t firstFeatures;
        int32_t secondWeight;
        size_t secondFeatures;
        bool swapped;
    } const cases[] = {{10, 1, -5, 1, true},  {10, 3, -5, 1, true}, {-5, 1, 10, 3, false},
                       {10, 1, 10, 2, true},  {-5, 1, -5, 2, true}, {10, 2, 10, 1, false},
                       {10, 1, 20, 1, false}, {0, 1, -5, 1, false}, {-5, 1, 0, 2, true},
                       {0, 1, 10, 2, true},   {10, 1, 0, 1, false}};
    for (const Case& c : cases) {
        std::vector<Rule> rules(2);
        rules[0].id = 1;
        rules[0].weight = c.firstWeight;
        rules[0].featureIds.assign(c.firstFeatures, 6600);
        rules[1].id = 2;
        rules[1].weight = c.secondWeight;
        rules[1].featureIds.assign(c.secondFeatures, 6601);
        SortRulesForEvaluation(rules);
        EXPECT_EQ(c.swapped ? 2 : 1, rules[0].id) << c.firstWeight << "/" << c.firstFeatures << " "
                                                  << c.secondWeight << "/" << c.secondFeatures;
    }
}

TEST_F(VcsTest, HitLettersAscendById) {
    engine_.Load(nullptr);
    stubs_.Fire({6615, 6602, 6600});
    std::string hits = "x";
    std::string appended;
    engine_.Score(&record_, hits);
    EXPECT_EQ(hits, "xACP");

    stubs_.Get(6615).result = 0;
    stubs_.Get(6602).result = 0;
    stubs_.Fire({6620, 6609});
    Score(&appended);
    EXPECT_EQ(appended, "AJU");
    EXPECT_EQ(VCS::HitLetter(6617), 'R');
    EXPECT_EQ(VCS::HitLetter(6620 + 256), 'U');
}

TEST_F(VcsTest, EachScoreStartsAfresh) {
    engine_.Load(nullptr);
    stubs_.Fire({6602});
    Score();
    stubs_.Get(6602).result = 0;
    std::string hits;
    Score(&hits);
    EXPECT_EQ(engine_.GetScore(), 0);
    EXPECT_EQ(hits, "");
    EXPECT_TRUE(engine_.HitSet().empty());
    EXPECT_EQ(stubs_.Get(6602).analyses, 2);
}

// Score takes no memory: the nodes of the hit set are the ones made with the engine.
TEST_F(VcsTest, HitsReuseTheEnginesOwnNodes) {
    engine_.Load(nullptr);
    std::vector<int> all(StubCatalogue::kCatalogueIds, StubCatalogue::kCatalogueIds + 18);
    for (int id : all) stubs_.Get(id).result = 1;
    Score();
    ASSERT_EQ(engine_.HitSet().size(), 18u);
    std::set<const int32_t*> nodes;
    for (const int32_t& id : engine_.HitSet()) nodes.insert(&id);
    for (size_t round = 0; round < 18; ++round) {
        for (int id : all) stubs_.Get(id).result = 0;
        stubs_.Fire({all[round], all[(round * 7 + 3) % 18], 6602});
        Score();
        EXPECT_GE(engine_.HitSet().size(), 2u);
        for (const int32_t& id : engine_.HitSet()) EXPECT_EQ(nodes.count(&id), 1u) << id;
    }
}

TEST_F(VcsTest, AutoRunIsWorthNothingWithoutARow) {
    engine_.Load(nullptr);
    stubs_.Fire({6620});
    std::string hits;
    Score(&hits);
    EXPECT_EQ(engine_.GetScore(), 0);
    EXPECT_EQ(hits, "U");

    profile_.Set("ITEMCOUNT", "num", "1");
    profile_.SetRow(1, 6620, 6620, 70);
    profile_.Set("THRESHOLD", "value", "150");
    engine_.Load("c:\\vcs.ini");
    Score();
    EXPECT_EQ(engine_.GetScore(), 70);
}

TEST_F(VcsTest, PairRowAddsOnlyWhenBothFire) {
    profile_.Set("ITEMCOUNT", "num", "3");
    profile_.SetRow(1, 6601, 6601, 30);
    profile_.SetRow(2, 6610, 6610, 30);
    profile_.SetRow(3, 6601, 6610, 25);
    profile_.Set("THRESHOLD", "value", "150");
    engine_.Load("c:\\vcs.ini");
    stubs_.Fire({6601});
    Score();
    EXPECT_EQ(engine_.GetScore(), 30);
    stubs_.Fire({6610});
    Score();
    EXPECT_EQ(engine_.GetScore(), 85);
}

TEST_F(VcsTest, MissingThresholdMakesAnyPositiveSumSuspicious) {
    profile_.Set("ITEMCOUNT", "num", "1");
    profile_.SetRow(1, 6603, 6603, 1);
    engine_.Load("c:\\vcs.ini");
    EXPECT_EQ(engine_.Threshold(), 0);
    EXPECT_EQ(Score(), 0);
    stubs_.Fire({6603});
    EXPECT_EQ(Score(), 1);
    EXPECT_EQ(engine_.GetScore(), 1);
}

TEST_F(VcsTest, ConfiguredRowsOutliveALoadWithoutConfiguration) {
    profile_.Set("ITEMCOUNT", "num", "1");
    profile_.SetRow(1, 6602, 6602, 500);
    profile_.Set("THRESHOLD", "value", "1000");
    engine_.Load("c:\\vcs.ini");
    EXPECT_EQ(engine_.Threshold(), 1000);

    engine_.Load(nullptr);
    EXPECT_EQ(engine_.Threshold(), 150);
    engine_.Load("");
    EXPECT_EQ(engine_.Threshold(), 150);
    stubs_.Fire({6602, 6606});
    EXPECT_EQ(Score(), 1);
    EXPECT_EQ(engine_.GetScore(), 500);
}

TEST_F(VcsTest, ConfigurationPathReachesTheReader) {
    profile_.Set("ITEMCOUNT", "num", "0");
    engine_.Load("d:\\suite\\score.ini");
    EXPECT_EQ(profile_.lastPath, "d:\\suite\\score.ini");
}

TEST(VcsSumTest, SumWrapsInsteadOfOverflowing) {
    WeightTable table;
    table.Clear();
    table.SetRow(0, WeightRow{6600, 6600, 2147483647});
    table.SetRow(1, WeightRow{6601, 6601, 2});
    EXPECT_EQ(table.Sum({6600, 6601}), -2147483647);
}

}  // namespace
