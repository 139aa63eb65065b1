#include "scan_ledger.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

FileAnswer AnswerFor(uint64_t seq, int score) {
    FileAnswer answer;
    answer.seq = seq;
    answer.verdict.verdict = Verdict::kClean;
    answer.verdict.score = score;
    answer.verdict.path = "ignored: the ledger keeps its own";
    return answer;
}

// Each file is added as "f<n>" with its printable path "p<n>".
void AddFiles(ScanLedger* ledger, int from, int to) {
    for (int n = from; n < to; ++n) {
        ledger->AddFile("f" + std::to_string(n), "p" + std::to_string(n));
    }
}

std::vector<std::string> TakePrintable(ScanLedger* ledger) {
    std::vector<std::string> lines;
    FileVerdict verdict;
    while (ledger->TakeNext(&verdict)) lines.push_back(verdict.path);
    return lines;
}

TEST(ScanLedger, LinesKeepTheWalkOrderWhateverOrderTheAnswersCome) {
    ScanLedger ledger;
    AddFiles(&ledger, 0, 2);
    FileVerdict unreadable;
    unreadable.verdict = Verdict::kError;
    unreadable.path = "gone";
    ledger.AddSettled(unreadable);
    AddFiles(&ledger, 3, 4);

    FileRequest a, b, c;
    ASSERT_TRUE(ledger.Assign(1, &a));
    ASSERT_TRUE(ledger.Assign(2, &b));
    ASSERT_TRUE(ledger.Assign(2, &c));
    EXPECT_EQ(a.pathUtf16, "f0");
    EXPECT_EQ(b.pathUtf16, "f1");
    EXPECT_EQ(c.pathUtf16, "f3") << "the settled entry is never handed out";
    EXPECT_FALSE(ledger.Assign(1, &a));

    // Worker 2 answers both of its files before worker 1 answers its one.
    ASSERT_TRUE(ledger.Answer(2, AnswerFor(b.seq, 10)));
    ASSERT_TRUE(ledger.Answer(2, AnswerFor(c.seq, 30)));
    EXPECT_TRUE(TakePrintable(&ledger).empty()) << "the first file is still out";
    ASSERT_TRUE(ledger.Answer(1, AnswerFor(a.seq, 0)));

    FileVerdict verdict;
    std::vector<std::string> paths;
    std::vector<int> scores;
    while (ledger.TakeNext(&verdict)) {
        paths.push_back(verdict.path);
        scores.push_back(verdict.score);
    }
    EXPECT_EQ(paths, (std::vector<std::string>{"p0", "p1", "gone", "p3"}));
    EXPECT_EQ(scores, (std::vector<int>{0, 10, 0, 30}));
    EXPECT_EQ(ledger.Unprinted(), 0u);
}

TEST(ScanLedger, AnAnswerMustBeForTheWorkersOldestFile) {
    ScanLedger ledger;
    AddFiles(&ledger, 0, 3);
    FileRequest first, second;
    ASSERT_TRUE(ledger.Assign(1, &first));
    ASSERT_TRUE(ledger.Assign(1, &second));
    EXPECT_FALSE(ledger.Answer(1, AnswerFor(second.seq, 5))) << "answers come in order";
    EXPECT_FALSE(ledger.Answer(2, AnswerFor(first.seq, 5))) << "not worker 2's file";
    EXPECT_FALSE(ledger.Answer(1, AnswerFor(99, 5))) << "no such file";
    EXPECT_EQ(ledger.Outstanding(1), 2u);
    EXPECT_TRUE(ledger.Answer(1, AnswerFor(first.seq, 5)));
    EXPECT_EQ(ledger.Outstanding(1), 1u);
}

TEST(ScanLedger, ALostWorkerIsChargedWithItsFirstFileOnly) {
    ScanLedger ledger;
    AddFiles(&ledger, 0, 5);
    FileRequest r0, r1, r2, r3;
    ASSERT_TRUE(ledger.Assign(1, &r0));
    ASSERT_TRUE(ledger.Assign(1, &r1));
    ASSERT_TRUE(ledger.Assign(2, &r2));
    ASSERT_TRUE(ledger.Assign(1, &r3));  // worker 1 holds f0, f1, f3
    ASSERT_TRUE(ledger.Answer(1, AnswerFor(r0.seq, 1)));

    ASSERT_TRUE(ledger.Lose(1, "analyser crashed: exception 0xC0000005"));
    EXPECT_EQ(ledger.Outstanding(1), 0u);
    // f3 and f4 wait; f3 was never started and goes first again.
    EXPECT_EQ(ledger.Waiting(), 2u);
    FileRequest again;
    ASSERT_TRUE(ledger.Assign(3, &again));
    EXPECT_EQ(again.pathUtf16, "f3");
    ASSERT_TRUE(ledger.Answer(3, AnswerFor(again.seq, 3)));
    ASSERT_TRUE(ledger.Answer(2, AnswerFor(r2.seq, 2)));

    FileVerdict verdict;
    ASSERT_TRUE(ledger.TakeNext(&verdict));
    EXPECT_EQ(verdict.path, "p0");
    EXPECT_FALSE(verdict.crashed);
    ASSERT_TRUE(ledger.TakeNext(&verdict));
    EXPECT_EQ(verdict.path, "p1");
    EXPECT_EQ(verdict.verdict, Verdict::kError);
    EXPECT_EQ(verdict.error, "analyser crashed: exception 0xC0000005");
    EXPECT_TRUE(verdict.crashed);
    ASSERT_TRUE(ledger.TakeNext(&verdict));
    EXPECT_EQ(verdict.path, "p2");
    ASSERT_TRUE(ledger.TakeNext(&verdict));
    EXPECT_EQ(verdict.path, "p3");
    EXPECT_EQ(verdict.score, 3);
    EXPECT_FALSE(ledger.TakeNext(&verdict)) << "f4 still waits";

    // The crashed file is never handed out again: only f4 is left.
    ASSERT_TRUE(ledger.Assign(3, &again));
    EXPECT_EQ(again.pathUtf16, "f4");
    EXPECT_FALSE(ledger.Assign(3, &again));
}

TEST(ScanLedger, AWorkerLostBeforeItGotItsFilesChargesNone) {
    ScanLedger ledger;
    AddFiles(&ledger, 0, 2);
    FileRequest r0, r1;
    ASSERT_TRUE(ledger.Assign(1, &r0));
    ASSERT_TRUE(ledger.Assign(1, &r1));
    EXPECT_FALSE(ledger.Lose(1, "gone", false));
    EXPECT_EQ(ledger.Waiting(), 2u);
    EXPECT_FALSE(ledger.Lose(1, "gone")) << "nothing left to charge";
    FileRequest again;
    ASSERT_TRUE(ledger.Assign(2, &again));
    EXPECT_EQ(again.pathUtf16, "f0");
}

TEST(ScanLedger, AnInterruptionKeepsEverySettledEntryInOrder) {
    ScanLedger ledger;
    AddFiles(&ledger, 0, 4);
    FileRequest r0, r1, r2;
    ASSERT_TRUE(ledger.Assign(1, &r0));
    ASSERT_TRUE(ledger.Assign(2, &r1));
    ASSERT_TRUE(ledger.Assign(2, &r2));
    ASSERT_TRUE(ledger.Answer(2, AnswerFor(r1.seq, 1)));
    ASSERT_TRUE(ledger.Answer(2, AnswerFor(r2.seq, 2)));
    // f0 is still out and f3 never went anywhere: both are left out.
    std::vector<std::string> paths;
    for (const FileVerdict& verdict : ledger.TakeSettled()) paths.push_back(verdict.path);
    EXPECT_EQ(paths, (std::vector<std::string>{"p1", "p2"}));
    EXPECT_EQ(ledger.Unprinted(), 0u);
    EXPECT_EQ(ledger.Waiting(), 0u);
}

}  // namespace
