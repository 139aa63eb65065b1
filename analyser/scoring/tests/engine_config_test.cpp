#include <gtest/gtest.h>

#include "decimal.h"
#include "engine_config.h"
#include "fake_profile.h"

namespace {

class EngineConfigTest : public ::testing::Test {
protected:
    int32_t Read() {
        int32_t threshold = 150;
        ReadEngineConfig(profile_, "c:\\vcs.ini", table_, &threshold);
        return threshold;
    }
    FakeProfile profile_;
    WeightTable table_;
};

TEST_F(EngineConfigTest, DefaultTable) {
    EXPECT_EQ(table_.Row(0).first, 6600);
    EXPECT_EQ(table_.Row(0).value, 30);
    EXPECT_EQ(table_.Row(5).first, 6605);
    EXPECT_EQ(table_.Row(5).value, -10);
    EXPECT_EQ(table_.Row(15).value, -30);
    EXPECT_EQ(table_.Row(17).first, 6617);
    EXPECT_EQ(table_.Row(17).second, 6617);
    EXPECT_EQ(table_.Row(17).value, 15);
    EXPECT_EQ(table_.Row(18).first, 6600);
    EXPECT_EQ(table_.Row(18).second, 6601);
    EXPECT_EQ(table_.Row(35).first, 6601);
    EXPECT_EQ(table_.Row(35).second, 6602);
    EXPECT_EQ(table_.Row(170).first, 6616);
    EXPECT_EQ(table_.Row(170).second, 6617);
    int32_t total = 0;
    for (size_t i = 18; i < WeightTable::kRowCount; ++i) total += table_.Row(i).value;
    EXPECT_EQ(total, 0);
    EXPECT_EQ(table_.Sum({6608, 6609, 6610, 6611, 6612, 6613, 6614, 6616}), 275);
}

// Every row of the built-in table: the eighteen single rows, then each pair once.
TEST_F(EngineConfigTest, DefaultTableRowByRow) {
    const int32_t singles[18] = {30, 30, 60, 20, 30, -10, 60,  10, 30,
                                 50, 30, 50, 40, 20, 50,  -30, 5,  15};
    std::vector<std::vector<int32_t>> expected;
    for (int32_t id = 6600; id <= 6617; ++id) expected.push_back({id, id, singles[id - 6600]});
    for (int32_t a = 6600; a <= 6617; ++a) {
        for (int32_t b = a + 1; b <= 6617; ++b) expected.push_back({a, b, 0});
    }
    ASSERT_EQ(WeightTable::kRowCount, expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        const WeightRow& row = table_.Row(i);
        EXPECT_EQ(expected[i], (std::vector<int32_t>{row.first, row.second, row.value})) << i;
    }
}

TEST_F(EngineConfigTest, WithoutCountNothingIsRead) {
    profile_.Set("THRESHOLD", "value", "10");
    EXPECT_EQ(Read(), 150);
    profile_.Set("ITEMCOUNT", "num", "");
    EXPECT_EQ(Read(), 150);
    EXPECT_EQ(table_.Row(0).value, 30);
}

TEST_F(EngineConfigTest, OneRowReplacesTheWholeTable) {
    profile_.Set("ITEMCOUNT", "num", "1");
    profile_.SetRow(1, 6602, 6602, 77);
    profile_.SetRow(2, 6603, 6603, 99);  // beyond num: not read
    profile_.Set("THRESHOLD", "value", "60");
    EXPECT_EQ(Read(), 60);
    EXPECT_EQ(table_.Row(0).first, 6602);
    EXPECT_EQ(table_.Row(0).value, 77);
    for (size_t i = 1; i < WeightTable::kRowCount; ++i) {
        EXPECT_EQ(table_.Row(i).first, 0);
        EXPECT_EQ(table_.Row(i).value, 0);
    }
    EXPECT_EQ(table_.Sum({6600, 6601, 6602, 6603}), 77);
}

TEST_F(EngineConfigTest, ZeroOrNegativeCountKeepsRowsAndSetsThreshold) {
    profile_.Set("ITEMCOUNT", "num", "0");
    profile_.Set("THRESHOLD", "value", "42");
    EXPECT_EQ(Read(), 42);
    EXPECT_EQ(table_.Row(0).value, 30);

    profile_.Set("ITEMCOUNT", "num", "-3");
    profile_.Set("THRESHOLD", "value", "-7");
    EXPECT_EQ(Read(), -7);
    EXPECT_EQ(table_.Row(2).value, 60);

    // "num" with no digits reads as 0: rows kept, threshold read (missing gives 0).
    FakeProfile noDigits;
    noDigits.Set("ITEMCOUNT", "num", "many");
    int32_t threshold = 150;
    ReadEngineConfig(noDigits, "x", table_, &threshold);
    EXPECT_EQ(threshold, 0);
    EXPECT_EQ(table_.Row(0).value, 30);
}

TEST_F(EngineConfigTest, CountIsCappedAtTheTableSize) {
    profile_.Set("ITEMCOUNT", "num", "100000");
    for (int i = 1; i <= 172; ++i) profile_.SetRow(i, 6600, 6600, i);
    Read();
    EXPECT_EQ(table_.Row(170).value, 171);
    EXPECT_EQ(profile_.reads, 1 + 171 * 3 + 1);
}

TEST_F(EngineConfigTest, MissingRowFieldsReadAsZero) {
    profile_.Set("ITEMCOUNT", "num", "2");
    profile_.Set("ITEM1", "ida", "6600");
    profile_.Set("ITEM1", "idb", "6600");
    profile_.Set("THRESHOLD", "value", "1");
    Read();
    EXPECT_EQ(table_.Row(0).value, 0);
    EXPECT_EQ(table_.Row(1).first, 0);
}

TEST_F(EngineConfigTest, ValuesLongerThanTheBufferAreCut) {
    profile_.Set("ITEMCOUNT", "num", "0");
    // 19 characters reach the parser: "0000000000000000012" is 12, the trailing 3 is lost.
    profile_.Set("THRESHOLD", "value", "00000000000000000123");
    EXPECT_EQ(Read(), 12);
}

TEST(DecimalTest, FollowsTheCLibrary) {
    EXPECT_EQ(ParseDecimal("150"), 150);
    EXPECT_EQ(ParseDecimal("  -30"), -30);
    EXPECT_EQ(ParseDecimal("\t+7x"), 7);
    EXPECT_EQ(ParseDecimal("12abc"), 12);
    EXPECT_EQ(ParseDecimal("abc"), 0);
    EXPECT_EQ(ParseDecimal(""), 0);
    EXPECT_EQ(ParseDecimal("- 5"), 0);
    EXPECT_EQ(ParseDecimal("2147483647"), 2147483647);
    EXPECT_EQ(ParseDecimal("-2147483648"), INT32_MIN);
    EXPECT_EQ(ParseDecimal("99999999999999"), INT32_MAX);
    EXPECT_EQ(ParseDecimal("-99999999999999"), INT32_MIN);
}

}  // namespace
