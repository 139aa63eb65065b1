// FindMailText against the image reader's string walk, byte by byte: whatever it
// answers yes or no, the walk must answer the same.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "mail_text.h"

namespace {

bool Printable(unsigned char c) {
    return c >= 32 && c <= 126;
}

// The texts of the reader's walk: a probe every minLen-th byte; from a printable probe
// the run is widened back by at most minLen - 2 bytes (none for minLen 1 and 2) and
// forward to its end, kept when at least minLen long, cut to maxLength.
bool WalkFindsAddress(const std::string& bytes, int minLen, size_t maxLength) {
    const size_t n = bytes.size();
    const size_t step = static_cast<size_t>(minLen);
    const size_t maxBack = minLen > 2 ? step - 2 : 0;
    for (size_t b = step - 1; b < n;) {
        if (!Printable(bytes[b])) {
            b += step;
            continue;
        }
        size_t back = 0;
        while (back < maxBack && back < b && Printable(bytes[b - back - 1])) ++back;
        size_t forward = 0;
        while (b + forward + 1 < n && Printable(bytes[b + forward + 1])) ++forward;
        const size_t length = back + 1 + forward;
        if (length >= step) {
            const size_t kept = length < maxLength ? length : maxLength;
            if (LooksLikeMailAddress(bytes.data() + (b - back), static_cast<int>(kept))) {
                return true;
            }
        }
        b += step + forward;
    }
    return false;
}

MailTextAnswer Find(const std::string& bytes, int minLen = 10, size_t maxLength = 0xFFFF) {
    return FindMailText(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), minLen,
                        maxLength);
}

TEST(FindMailTextTest, AgreesWithTheWalkOnMixedBytes) {
    // Few kinds of bytes, so that "@", ".", runs of every length and short gaps are all
    // common; every answer other than "unsure" must be the walk's.
    const char kinds[] = {'@', '.', 'a', 'b', 'x', '\0', '\x90', '\x7f'};
    int yes = 0, no = 0, unsure = 0;
    for (int minLen : {1, 2, 3, 4, 10, 17}) {
        for (size_t maxLength : {size_t{12}, size_t{40}, size_t{0xFFFF}}) {
            for (unsigned seed = 0; seed < 150; ++seed) {
                std::mt19937 random(seed * 131 + static_cast<unsigned>(minLen));
                const int printableShare = 70 + static_cast<int>(seed % 30);
                std::string bytes(200 + random() % 400, '\0');
                for (char& c : bytes) {
                    c = static_cast<int>(random() % 100) < printableShare ? kinds[random() % 5]
                                                                          : kinds[5 + random() % 3];
                }
                const bool walk = WalkFindsAddress(bytes, minLen, maxLength);
                switch (Find(bytes, minLen, maxLength)) {
                    case MailTextAnswer::kYes:
                        ++yes;
                        EXPECT_TRUE(walk) << "seed " << seed << " minLen " << minLen;
                        break;
                    case MailTextAnswer::kNo:
                        ++no;
                        EXPECT_FALSE(walk) << "seed " << seed << " minLen " << minLen;
                        break;
                    case MailTextAnswer::kUnsure:
                        ++unsure;
                        break;
                }
            }
        }
    }
    // The cases must really be mixed, or the comparison says little.
    EXPECT_GT(yes, 200) << no << " no, " << unsure << " unsure";
    EXPECT_GT(no, 150) << yes << " yes, " << unsure << " unsure";
    EXPECT_LT(unsure, (yes + no) / 10);
}

TEST(FindMailTextTest, WhereTheProbeLandsDecides) {
    // The first run starts the content: its first probe is its tenth byte, which takes
    // the text back only eight bytes, so the text starts at index 1 and its "@" at
    // index 2 of the run is index 1 of the text, never looked at.
    const std::string atStart = "ab@defgh.jk" + std::string(4, '\0');
    EXPECT_FALSE(WalkFindsAddress(atStart, 10, 0xFFFF));
    EXPECT_EQ(Find(atStart), MailTextAnswer::kUnsure);
    // One byte later the probe lands ninth, the text is the whole run, "@" at index 2.
    const std::string later = std::string(1, '\0') + atStart;
    EXPECT_TRUE(WalkFindsAddress(later, 10, 0xFFFF));
    EXPECT_EQ(Find(later), MailTextAnswer::kUnsure);
    // An "@" further in counts wherever the probe lands.
    EXPECT_EQ(Find(std::string(1, '\0') + "abc@efgh.jk" + std::string(4, '\0')),
              MailTextAnswer::kYes);
}

TEST(FindMailTextTest, EdgesOfTheRuns) {
    const struct {
        std::string bytes;
        MailTextAnswer answer;
    } cases[] = {
        {"", MailTextAnswer::kNo},
        {"abc@ef.hi", MailTextAnswer::kNo},  // nine bytes: no probe step
        {std::string("\0", 1) + "xxabc@ef.hi\x01", MailTextAnswer::kYes},
        // A run of exactly ten: from its second byte there is no text at all.
        {std::string("\0", 1) + "xabc@ef.hi\x01", MailTextAnswer::kUnsure},
        {std::string("\0", 1) + "abc@ef.hi\x01", MailTextAnswer::kNo},  // run of nine
        {"\x01\x02" + std::string("someone@example.org") + "\x03", MailTextAnswer::kYes},
        {"\x01someone@example.orgx\x03", MailTextAnswer::kYes},  // dot fifth from the end
        {"\x01someone@example.orgxy\x03", MailTextAnswer::kNo},  // dot sixth from the end
        {"\x01someone@exampleorg\x03", MailTextAnswer::kNo},     // no dot
        {"\x01" + std::string(50, '@') + "\x02", MailTextAnswer::kNo},
        {"\x01" + std::string(50, '@') + ".com\x02", MailTextAnswer::kYes},
        // The "@" and the dot in different runs.
        {"\x01" + std::string("xxxxxx@xx") + "\x02" + "xxxxx.com" + "\x03", MailTextAnswer::kNo},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Find(c.bytes), c.answer) << testing::PrintToString(c.bytes);
        if (c.answer != MailTextAnswer::kUnsure) {
            EXPECT_EQ(WalkFindsAddress(c.bytes, 10, 0xFFFF), c.answer == MailTextAnswer::kYes)
                << testing::PrintToString(c.bytes);
        }
    }
    EXPECT_EQ(FindMailText(nullptr, 100, 10, 0xFFFF), MailTextAnswer::kNo);
    EXPECT_EQ(FindMailText(reinterpret_cast<const unsigned char*>("abc"), 3, 0, 0xFFFF),
              MailTextAnswer::kNo);
}

TEST(FindMailTextTest, ALongRunIsCutWhereTheWalkCutsIt) {
    // The address lies beyond the kept length: the text the walk keeps ends before it.
    const std::string run = "\x01" + std::string(70000, 'a') + "me@example.org\x02";
    EXPECT_FALSE(WalkFindsAddress(run, 10, 0xFFFF));
    EXPECT_EQ(Find(run), MailTextAnswer::kNo);
    // Cut exactly after an address-like end, both possible starts keep it.
    const std::string cut = "\x01" + std::string(30, 'a') + "me@ex.com" + std::string(20, 'b');
    EXPECT_TRUE(WalkFindsAddress(cut, 10, 40));
    EXPECT_NE(Find(cut, 10, 40), MailTextAnswer::kNo);
}

}  // namespace
