// The rules of a run that need no Windows: reading the check answer, the byte progress and
// the texts built around the language library's.
#include <gtest/gtest.h>

#include <algorithm>

#include "http_answer.h"
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

// Every answer the site may send, read in pieces of three bytes as a slow link gives them.
TEST(RunRules, HttpAnswerIsTakenOnlyWhole) {
    using courier::AnswerOutcome;
    const std::string full(10, 'x');
    const struct {
        uint32_t status;
        const char* length;
        const char* encoding;
        std::string body;
        bool needsText;
        AnswerOutcome outcome;
        std::string text;
    } cases[] = {
        {200, "3", "", "1\r\n", true, AnswerOutcome::kTaken, "1\r\n"},
        {200, "", "", "0", true, AnswerOutcome::kTaken, "0"},  // no length: read to the end
        {200, "99", "Chunked", "0", true, AnswerOutcome::kTaken, "0"},  // chunks decide
        {200, " 10 ", "", full, true, AnswerOutcome::kTaken, full},      // exactly the cap
        {200, "", "", full + "y", true, AnswerOutcome::kTooLong, ""},
        {200, "11", "", "", true, AnswerOutcome::kTooLong, ""},  // refused before reading
        {200, "99999999999999999999999", "", "", true, AnswerOutcome::kTooLong, ""},
        {200, "5", "", "-1", true, AnswerOutcome::kCutShort, ""},  // closed early
        {200, "2", "", "-1\r\n", true, AnswerOutcome::kTaken, "-1"},  // no more than announced
        {200, "x1", "", "1", true, AnswerOutcome::kTaken, "1"},  // a damaged length is none
        {200, "0", "", "", true, AnswerOutcome::kEmpty, ""},
        {200, "", "", std::string("\0a", 2), true, AnswerOutcome::kEmpty, ""},
        {200, "0", "", "", false, AnswerOutcome::kTaken, ""},  // an upload needs no text
        {200, "", "", std::string("ok\0tail", 7), false, AnswerOutcome::kTaken, "ok"},
        {404, "3", "", "1\r\n", true, AnswerOutcome::kNotOk, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.body + " / " + c.length);
        courier::AnswerReader reader({c.status, c.length, c.encoding}, 10, c.needsText);
        size_t at = 0;
        while (reader.Wanted() > 0 && at < c.body.size()) {
            const size_t piece = std::min({reader.Wanted(), c.body.size() - at, size_t{3}});
            reader.Take(c.body.data() + at, piece);
            at += piece;
        }
        EXPECT_EQ(c.outcome, reader.Finish());
        if (c.outcome == AnswerOutcome::kTaken) {
            EXPECT_EQ(c.text, reader.Text());
        }
        EXPECT_LE(at, size_t{11});  // never more than one byte past the cap is read
    }
}
