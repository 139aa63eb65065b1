#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "rule_files.h"

namespace {

void Put32(std::vector<uint8_t>& bytes, size_t at, uint32_t value) {
    for (size_t i = 0; i < 4; ++i) bytes[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

FirewallRule Rule(int32_t id, const char* text = "", uint32_t flags = 0) {
    FirewallRule rule = {};
    rule.ruleId = id;
    rule.flags = flags;
    rule.addressB = 0x0A0B0C0D;
    rule.state = 9;
    std::strncpy(rule.text, text, sizeof rule.text);
    return rule;
}

// A rule file: `header` bytes (count first, then the title for the default file), the
// records, then `tail` stray bytes.
std::vector<uint8_t> RuleFile(size_t header, uint32_t count, const std::vector<FirewallRule>& rules,
                              size_t tail = 0, const std::string& title = "") {
    std::vector<uint8_t> bytes(header + rules.size() * sizeof(FirewallRule) + tail, 0xEE);
    std::memset(bytes.data(), 0, header);
    Put32(bytes, 0, count);
    std::memcpy(bytes.data() + 4, title.data(), std::min(title.size(), header - 4));
    if (!rules.empty())
        std::memcpy(bytes.data() + header, rules.data(), rules.size() * sizeof(FirewallRule));
    return bytes;
}

TEST(RuleFiles, OnlyWholeRecordsThatArePresentLoad) {
    const std::vector<FirewallRule> two = {Rule(5), Rule(6)};
    struct Case {
        const char* what;
        uint32_t count;
        size_t tail;
        size_t expected;
    } cases[] = {
        {"count that fits exactly", 2, 0, 2},
        {"count one record over", 3, 0, 2},
        {"count 2^31 with a partial tail", 0x80000000u, 50, 2},
        {"count below the records", 1, 0, 1},
        {"count 0", 0, 0, 0},
    };
    for (const Case& c : cases) {
        for (size_t header : {kDefaultHeaderBytes, kUserHeaderBytes}) {
            const std::vector<uint8_t> file = RuleFile(header, c.count, two, c.tail);
            int32_t nextId = 1;
            const RuleList rules = header == kDefaultHeaderBytes
                                       ? LoadDefaultRules(file.data(), file.size(), &nextId)
                                       : LoadUserRules(file.data(), file.size(), &nextId);
            ASSERT_EQ(c.expected, rules.size()) << c.what << ", header " << header;
            for (const FirewallRule& rule : rules) EXPECT_NE(0u, rule.addressB) << c.what;
        }
    }
}

TEST(RuleFiles, ShortHeadersReadAsZerosPastTheirEnd) {
    for (size_t size : {size_t{0}, size_t{2}, size_t{20}, size_t{63}}) {
        std::vector<uint8_t> file(size, 0);
        if (size >= 1) file[0] = 3;  // the count's low byte
        if (size > 6) std::memcpy(file.data() + 4, "ab", 2);
        int32_t nextId = 1;
        EXPECT_TRUE(LoadDefaultRules(file.data(), file.size(), &nextId).empty()) << size;
        EXPECT_TRUE(LoadUserRules(file.data(), file.size(), &nextId).empty()) << size;
        EXPECT_EQ(size > 6 ? "ab" : "", DefaultRuleTitle(file.data(), file.size())) << size;
        EXPECT_EQ(1, nextId);
    }
}

TEST(RuleFiles, TitleStopsAtNulOrAfterSixtyCharacters) {
    const std::string sixty(60, 'T');
    std::vector<uint8_t> full = RuleFile(kDefaultHeaderBytes, 0, {}, 0, sixty);
    full.push_back('X');  // the first record's first byte directly follows
    EXPECT_EQ(sixty, DefaultRuleTitle(full.data(), full.size()));
    const std::vector<uint8_t> shorter =
        RuleFile(kDefaultHeaderBytes, 0, {}, 0, std::string("Office\0junk", 11));
    EXPECT_EQ("Office", DefaultRuleTitle(shorter.data(), shorter.size()));
}

TEST(RuleFiles, UserRecordsReplaceLoadedIdsOrAreRenumbered) {
    struct Case {
        std::vector<int32_t> ids;
        std::vector<int32_t> loadedIds;
        std::vector<char> loadedFrom;  // which record (by its text) each loaded rule is
    } cases[] = {
        {{1, 1}, {1}, {'b'}},  // the second record replaces the first
        {{7, 7}, {1, 2}, {'a', 'b'}},
        {{3, 1, 2}, {1, 2}, {'b', 'c'}},  // 3 -> 1; then 1 replaces it; 2 -> 2
        {{1, 2, 1}, {1, 2}, {'c', 'b'}},  // the third record takes the first one's place
    };
    for (const Case& c : cases) {
        std::vector<FirewallRule> records;
        for (size_t i = 0; i < c.ids.size(); ++i) {
            const char text[2] = {static_cast<char>('a' + i), 0};
            records.push_back(Rule(c.ids[i], text));
        }
        const std::vector<uint8_t> file =
            RuleFile(kUserHeaderBytes, static_cast<uint32_t>(records.size()), records);
        int32_t nextId = 1;
        const RuleList rules = LoadUserRules(file.data(), file.size(), &nextId);
        ASSERT_EQ(c.loadedIds.size(), rules.size());
        for (size_t i = 0; i < rules.size(); ++i) {
            EXPECT_EQ(c.loadedIds[i], rules[i].ruleId);
            EXPECT_EQ(c.loadedFrom[i], rules[i].text[0]);
            EXPECT_EQ(9, rules[i].state) << "user records keep their state";
        }
    }
}

TEST(RuleFiles, DefaultRulesAreNumberedMarkedAndTidied) {
    FirewallRule unterminated = Rule(40, "", 0x40 | 0x3);
    std::memset(unterminated.text, 'u', sizeof unterminated.text);
    const std::vector<FirewallRule> records = {Rule(70, "  \t Web browsing", 0x40),
                                               Rule(71, "Mail", 0x01), unterminated,
                                               Rule(72, " \t ")};
    const std::vector<uint8_t> file = RuleFile(kDefaultHeaderBytes, 4, records, 0, "Home");
    int32_t nextId = 5;
    const RuleList rules = LoadDefaultRules(file.data(), file.size(), &nextId);
    ASSERT_EQ(4u, rules.size());
    EXPECT_EQ(9, nextId);

    const uint8_t loopback[4] = {0x7F, 0x00, 0x00, 0x01};
    EXPECT_EQ(0, std::memcmp(&rules[0].addressB, loopback, 4));
    EXPECT_EQ(0, std::memcmp(&rules[2].addressB, loopback, 4));
    EXPECT_EQ(0x0A0B0C0Du, rules[1].addressB);
    const char webBrowsing[64] = "Web browsing";
    EXPECT_EQ(0, std::memcmp(webBrowsing, rules[0].text, 64)) << "blanks gone, NUL padded";
    EXPECT_STREQ("Mail", rules[1].text);
    EXPECT_EQ(std::string(64, 'u'), std::string(rules[2].text, 64));
    EXPECT_EQ(std::string(64, '\0'), std::string(rules[3].text, 64));
    for (size_t i = 0; i < rules.size(); ++i) {
        EXPECT_EQ(static_cast<int32_t>(5 + i), rules[i].ruleId);
        EXPECT_EQ(1, rules[i].state);
    }
}

TEST(RuleFiles, UserFileBytesRoundTrip) {
    const std::vector<uint8_t> empty = EncodeUserRules({});
    EXPECT_EQ(std::vector<uint8_t>(4, 0), empty);

    RuleList rules = {Rule(3, "one"), Rule(8, "two", 0x40)};
    rules[1].unused[1] = 0x5A;  // kept as stored
    const std::vector<uint8_t> bytes = EncodeUserRules(rules);
    ASSERT_EQ(4 + 2 * 112u, bytes.size());
    EXPECT_EQ(std::vector<uint8_t>({2, 0, 0, 0}),
              std::vector<uint8_t>(bytes.begin(), bytes.begin() + 4));
    EXPECT_EQ(0, std::memcmp(bytes.data() + 4, rules.data(), 2 * 112));
    int32_t nextId = 3;
    const RuleList back = LoadUserRules(bytes.data(), bytes.size(), &nextId);
    ASSERT_EQ(2u, back.size());
    EXPECT_EQ(0x5A, back[1].unused[1]);
    EXPECT_EQ(3, back[0].ruleId);
    EXPECT_EQ(4, back[1].ruleId);
}

}  // namespace
