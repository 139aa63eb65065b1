#include <gtest/gtest.h>

#include <map>
#include <vector>

#include "rule_lists.h"

namespace {

// Records what the lists send; refuses or answers wrongly where a test says so.
class FakeDriver : public IRuleDriver {
public:
    bool AddBatch(const DriverRule* rules, size_t count, int32_t* answer) override {
        const size_t batch = batches.size();
        batches.emplace_back(rules, rules + count);
        if (refuseBatch.count(batch)) return false;
        *answer = wrongAnswerBatch.count(batch) ? -1 : rules[count - 1].ruleId;
        return true;
    }
    bool Delete(int32_t ruleId) override {
        deleted.push_back(ruleId);
        return accept;
    }
    bool Update(const DriverRule& rule) override {
        updated.push_back(rule);
        return accept;
    }

    std::vector<std::vector<DriverRule>> batches;
    std::map<size_t, bool> refuseBatch, wrongAnswerBatch;
    std::vector<int32_t> deleted;
    std::vector<DriverRule> updated;
    bool accept = true;
};

FirewallRule Rule(int32_t id, uint32_t maskA = 0, uint32_t maskB = 0) {
    FirewallRule rule = {};
    rule.ruleId = id;
    rule.maskA = maskA;
    rule.maskB = maskB;
    rule.addressA = 0x11111111u * static_cast<uint32_t>(id % 7);
    rule.portBHigh = static_cast<uint16_t>(id);
    return rule;
}

RuleList Rules(int32_t first, int32_t count) {
    RuleList rules;
    for (int32_t id = first; id < first + count; ++id) rules.push_back(Rule(id));
    return rules;
}

TEST(RuleLists, AddSendsBatchesAndKeepsWhatTheDriverConfirmed) {
    struct Case {
        const char* what;
        std::vector<size_t> refused, wrongAnswer;
        size_t batchesSent, listSize;
        bool done, wrong;
    } cases[] = {
        {"all taken", {}, {}, 3, 250, true, false},
        {"second batch refused", {1}, {}, 3, 150, false, false},
        {"second batch answered with another id", {}, {1}, 2, 100, false, true},
        {"first refused, second answered wrongly", {0}, {1}, 2, 0, false, true},
    };
    for (const Case& c : cases) {
        FakeDriver driver;
        for (size_t b : c.refused) driver.refuseBatch[b] = true;
        for (size_t b : c.wrongAnswer) driver.wrongAnswerBatch[b] = true;
        RuleList list;
        const RuleList input = Rules(1, 250);
        const AddOutcome outcome = AddRules(list, input.data(), input.size(), driver);
        EXPECT_EQ(c.done, outcome.done) << c.what;
        EXPECT_EQ(c.wrong, outcome.wrongAnswer) << c.what;
        ASSERT_EQ(c.batchesSent, driver.batches.size()) << c.what;
        const size_t sizes[] = {100, 100, 50};
        for (size_t b = 0; b < driver.batches.size(); ++b)
            EXPECT_EQ(sizes[b], driver.batches[b].size());
        EXPECT_EQ(c.listSize, list.size()) << c.what;
    }
}

TEST(RuleLists, AddSkipsIdsTheListHoldsButSendsDuplicatesOfOneInput) {
    FakeDriver driver;
    RuleList list = {Rule(4)};
    const RuleList input = {Rule(4), Rule(9), Rule(9)};
    EXPECT_TRUE(AddRules(list, input.data(), input.size(), driver).done);
    ASSERT_EQ(1u, driver.batches.size());
    ASSERT_EQ(2u, driver.batches[0].size());
    EXPECT_EQ(3u, list.size());

    const AddOutcome again = AddRules(list, input.data(), input.size(), driver);
    EXPECT_TRUE(again.done) << "nothing new to send is not a failure";
    EXPECT_EQ(1u, driver.batches.size());
    EXPECT_EQ(3u, list.size());

    EXPECT_FALSE(AddRules(list, nullptr, 3, driver).done);
    EXPECT_FALSE(AddRules(list, input.data(), 0, driver).done);
}

TEST(RuleLists, DriverRuleWritesOutZeroMasks) {
    FakeDriver driver;
    RuleList list;
    // Each mask alone is 0 in one of the two rules.
    FirewallRule rules[2] = {Rule(12, 0, 0xFFFFFF00u), Rule(13, 0x00FFFFFFu, 0)};
    FirewallRule& rule = rules[0];
    rule.flags = 0x41;
    rule.protocol = 6;
    rule.unused[0] = 0x77;
    rule.state = 3;
    rule.valueC = 0xC0C0;
    rule.valueD = 0xD0D0;
    AddRules(list, rules, 2, driver);
    ASSERT_EQ(1u, driver.batches.size());
    const DriverRule& sent = driver.batches[0][0];
    EXPECT_EQ(0xFFFFFFFFu, sent.maskA);
    EXPECT_EQ(0xFFFFFF00u, sent.maskB);
    EXPECT_EQ(0x00FFFFFFu, driver.batches[0][1].maskA);
    EXPECT_EQ(0xFFFFFFFFu, driver.batches[0][1].maskB);
    EXPECT_EQ(0x41u, sent.flags);
    EXPECT_EQ(12, sent.ruleId);
    EXPECT_EQ(rule.addressA, sent.addressA);
    EXPECT_EQ(12, sent.portBHigh);
    EXPECT_EQ(6, sent.protocol);
    EXPECT_EQ(0, sent.zero[0]);
    EXPECT_EQ(0xC0C0u, sent.valueC);
    EXPECT_EQ(0xD0D0u, sent.valueD);
}

TEST(RuleLists, DeleteAndUpdateFollowTheDriver) {
    FakeDriver driver;
    RuleList list = {Rule(1), Rule(2), Rule(2)};
    driver.accept = false;
    EXPECT_FALSE(DeleteRule(list, 2, driver));
    FirewallRule changed = Rule(2, 0xFF);
    EXPECT_FALSE(UpdateRule(list, changed, driver));
    EXPECT_EQ(3u, list.size());
    EXPECT_EQ(0u, list[1].maskA);

    driver.accept = true;
    EXPECT_TRUE(UpdateRule(list, changed, driver));
    EXPECT_EQ(0xFFu, list[1].maskA) << "the first rule with the id";
    EXPECT_EQ(0u, list[2].maskA);
    EXPECT_TRUE(UpdateRule(list, Rule(30), driver)) << "sent though the list lacks it";
    EXPECT_EQ(30, driver.updated.back().ruleId);
    EXPECT_TRUE(DeleteRule(list, 2, driver));
    ASSERT_EQ(2u, list.size());
    EXPECT_EQ(0u, list[1].maskA) << "only the first one went";
    EXPECT_TRUE(DeleteRule(list, 99, driver));
    EXPECT_EQ(2u, list.size());
}

}  // namespace
