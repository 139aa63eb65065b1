// The rules of a run that need no Windows: reading the check answer, the byte progress and
// the texts built around the language library's.
#include <gtest/gtest.h>

#include "run_rules.h"

using courier::CheckVerdict;

TEST(RunRules, CheckAnswerFirstLine) {
    const struct {
        const char* answer;
        CheckVerdict verdict;
    } cases[] = {
        {"1\r\n", CheckVerdict::kWanted},
        {"1", CheckVerdict::kWanted},
        {"0", CheckVerdict::kKnown},
        {"-1\r\nmore", CheckVerdict::kKnown},
        {"2", CheckVerdict::kOther},
        {"-2", CheckVerdict::kOther},
        {"letters", CheckVerdict::kKnown},  // no digits read as 0
        {"", CheckVerdict::kKnown},
        {" \t+1 trailing", CheckVerdict::kWanted},
        {"\r\v\f \n1", CheckVerdict::kWanted},  // C white space, a bare LF included
        {"\r\n1", CheckVerdict::kKnown},   // the first line is empty
        {"2\r\n1", CheckVerdict::kOther},  // only the first line counts
        {"1\n0", CheckVerdict::kWanted},   // a bare LF ends the digits, not the line
        {"007", CheckVerdict::kOther},
        {"001", CheckVerdict::kWanted},
        // Outside 32 bits: never wrapped onto 0, -1 or 1.
        {"4294967296", CheckVerdict::kOther},
        {"4294967295", CheckVerdict::kOther},
        {"4294967297", CheckVerdict::kOther},
        {"-4294967297", CheckVerdict::kOther},
        {"18446744073709551617", CheckVerdict::kOther},
        {"2147483647", CheckVerdict::kOther},
        {"-2147483648", CheckVerdict::kOther},
        {"99999999999999999999999999999999999999990", CheckVerdict::kOther},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.verdict, courier::JudgeCheckAnswer(c.answer)) << '"' << c.answer << '"';
    }
}

TEST(RunRules, ProgressPercentNeverOverflowsOrDividesByZero) {
    const struct {
        uint32_t posted, total, percent;
    } cases[] = {
        {0, 0, 0},
        {5, 0, 0},
        {0, 36, 0},
        {36, 36, 100},
        {1, 3, 33},
        {30000000, 40000000, 75},  // posted * 100 does not fit 32 bits
        {0xFFFFFFFEu, 0xFFFFFFFFu, 99},
        {0xFFFFFFFFu, 0xFFFFFFFFu, 100},
        {200, 100, 100},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.percent, courier::ProgressPercent(c.posted, c.total))
            << c.posted << " of " << c.total;
    }
}

TEST(RunRules, TextsAndSchemes) {
    EXPECT_EQ("3 / 12", courier::CountText(3, 12));
    EXPECT_EQ("0 / 0", courier::CountText(0, 0));
    EXPECT_EQ("4294967295 / 4294967295", courier::CountText(0xFFFFFFFFu, 0xFFFFFFFFu));
    EXPECT_EQ("upload end: 0files sucessfully!",
              courier::SummaryText("upload end:", 0, "files sucessfully!"));
    // Texts are copied, never read as formats.
    EXPECT_EQ("%s %n 2%d%%", courier::SummaryText("%s %n", 2, "%d%%"));

    EXPECT_TRUE(courier::StartsWithNoCase("HTTP://Host/Path", "http://"));
    EXPECT_TRUE(courier::StartsWithNoCase("ftp://h", "FTP://"));
    EXPECT_FALSE(courier::StartsWithNoCase("https://h", "http://"));
    EXPECT_FALSE(courier::StartsWithNoCase("http:/", "http://"));
}
