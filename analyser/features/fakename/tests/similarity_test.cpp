#include <cstdint>
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "similarity.h"
#include "system_file_names.h"

namespace {

double Similar(const char* systemName, std::string candidate) {
    return CSimilarity::Instance().Similarity(systemName, candidate);
}

std::string Normalised(const char* systemName, std::string candidate) {
    CSimilarity::NormaliseDigitPairs(systemName, candidate);
    return candidate;
}

}  // namespace

TEST(SimilarityMatch, EqualCasePartnersAndLookAlikes) {
    const CSimilarity& s = CSimilarity::Instance();
    EXPECT_EQ(1, s.Match('a', 'a'));
    EXPECT_EQ(1, s.Match('K', 'k'));
    EXPECT_EQ(1, s.Match('k', 'K'));
    // Any two codes 32 apart pass, letters or not.
    EXPECT_EQ(1, s.Match('0', 'P'));
    EXPECT_EQ(1, s.Match('N', '.'));
    EXPECT_EQ(1, s.Match('o', '0'));
    // The look-alike string belongs to the system-name character only.
    EXPECT_EQ(1, s.Match('L', 'I'));
    EXPECT_EQ(0, s.Match('I', 'L'));
    EXPECT_EQ(0, s.Match('L', '1'));
    EXPECT_EQ(0, s.Match('"', 'x'));  // a key without a string
    EXPECT_EQ(nullptr, s.LookAlikeString('"'));
    EXPECT_STREQ("L[I", s.LookAlikeString('L'));
}

TEST(SimilarityMatch, TakesCharactersAsSignedBytes) {
    const CSimilarity& s = CSimilarity::Instance();
    // 0x80 is -128 as a signed byte, so it is not 32 above 0x60; as unsigned it would be.
    EXPECT_EQ(0, s.Match('`', '\x80'));
    EXPECT_EQ(0, s.Match('\x7f', '\x9f'));
    EXPECT_EQ(1, s.Match('\x80', '\xa0'));
    EXPECT_EQ(1, s.Match('\xe0', '\xc0'));
    EXPECT_EQ(1, s.Match('\xfe', '\xfe'));
    EXPECT_EQ(0, s.Match('\x80', 'x'));
    EXPECT_EQ(nullptr, s.LookAlikeString('\x80'));
}

TEST(SimilarityMatch, AgreesWithTheLookAlikeStringsForEveryPair) {
    const CSimilarity& s = CSimilarity::Instance();
    for (int a = 0; a < 256; ++a) {
        for (int b = 1; b < 256; ++b) {
            const int sa = a >= 128 ? a - 256 : a;
            const int sb = b >= 128 ? b - 256 : b;
            const char* text = s.LookAlikeString(static_cast<char>(a));
            const bool listed = text != nullptr && std::strchr(text, b) != nullptr;
            const int expected = (sa == sb || sa == sb + 32 || sb == sa + 32 || listed) ? 1 : 0;
            ASSERT_EQ(expected, s.Match(static_cast<char>(a), static_cast<char>(b)))
                << a << " " << b;
        }
    }
}

TEST(SimilarityWeights, ShiftWrapsAtThirtyTwoBits) {
    EXPECT_EQ(2u, CSimilarity::Weight(0));
    EXPECT_EQ(0x80000000u, CSimilarity::Weight(30));
    EXPECT_EQ(0u, CSimilarity::Weight(31));
    EXPECT_EQ(2u, CSimilarity::Weight(32));
    EXPECT_EQ(0u, CSimilarity::Weight(static_cast<size_t>(-1)));
    EXPECT_EQ(4u, CSimilarity::Weight(65));
}

TEST(SimilarityWeights, NormaliserPicksTheLengthByTheSpread) {
    EXPECT_EQ(0.0, CSimilarity::Normaliser(0, 0));
    EXPECT_EQ(0.0, CSimilarity::Normaliser(1, 1));
    EXPECT_EQ(6.0, CSimilarity::Normaliser(0, 3));
    EXPECT_EQ(1022.0, CSimilarity::Normaliser(10, 10));
    EXPECT_EQ(1022.0, CSimilarity::Normaliser(10, 11));  // spread 1/21
    EXPECT_EQ(4094.0, CSimilarity::Normaliser(10, 12));  // spread 1/11 lies just above 0.090909
    EXPECT_EQ(2046.0, CSimilarity::Normaliser(11, 13));  // spread 1/12
    // Past 32 positions the weights start again at 2.
    EXPECT_EQ(4294967294.0 + 510.0, CSimilarity::Normaliser(11, 41));
    EXPECT_EQ(9 * 4294967294.0 + 4094.0, CSimilarity::Normaliser(5, 300));
}

TEST(SimilarityDigitPairs, RewriteWhereTheNameHasTheLetter) {
    EXPECT_EQ("SHEL132.DLL", Normalised("SHELL32.DLL", "S14EL132.DLL"));
    EXPECT_EQ("URL.DLL", Normalised("URL.DLL", "lJRL.DLL"));
    // Positions follow the output, which falls behind the input after each rewrite.
    EXPECT_EQ("HxH", Normalised("HxH", "14x14"));
    EXPECT_EQ("H.x14", Normalised("H.H", "14.x14"));
    // Nothing else is rewritten: another position, small letters, half a pair.
    EXPECT_EQ("14ELL", Normalised("SHELL32.DLL", "14ELL"));
    EXPECT_EQ("s14ell", Normalised("shell", "s14ell"));
    EXPECT_EQ("S1", Normalised("SH", "S1"));
    EXPECT_EQ("S41", Normalised("SH", "S41"));
    EXPECT_EQ("", Normalised("H", ""));
    EXPECT_EQ("14", Normalised(nullptr, "14"));
}

TEST(SimilarityScore, ExamplesOfTheFeature) {
    EXPECT_EQ(1.0, Similar("svchost.exe", "svch0st.exe"));
    // The one mismatch (digit one for L) sits where the weights are small.
    EXPECT_DOUBLE_EQ(4046.0 / 4094.0, Similar("KERNEL32.DLL", "kerne132.dll"));
    EXPECT_NEAR(0.988, Similar("KERNEL32.DLL", "kerne132.dll"), 0.0005);
    EXPECT_EQ(1.0, Similar("LSASS.EXE", "Isass.exe"));
    EXPECT_DOUBLE_EQ(382.0 / 510.0, Similar("LSASS.EXE", "1sass.exe"));
    EXPECT_DOUBLE_EQ(894.0 / 1022.0, Similar("svchost.exe", "svhost.exe"));
    EXPECT_EQ(1.0, Similar("d3d8.dll", "d3d9.dll"));
}

TEST(SimilarityScore, RewritesTheCandidateInPlace) {
    std::string candidate = "S14EL132.DLL";
    const double value = CSimilarity::Instance().Similarity("SHELL32.DLL", candidate);
    EXPECT_EQ("SHEL132.DLL", candidate);
    EXPECT_DOUBLE_EQ(2006.0 / 2046.0, value);
}

TEST(SimilarityScore, IgnoresWhatFollowsALineEndButKeepsIt) {
    std::string candidate = "svchost.exe\r\nsomething else";
    EXPECT_EQ(1.0, CSimilarity::Instance().Similarity("svchost.exe", candidate));
    EXPECT_EQ("svchost.exe\r\nsomething else", candidate);
    EXPECT_EQ(1.0, Similar("svchost.exe", "svchost.exe\nx"));
}

TEST(SimilarityScore, ShortTextsAreNeverSimilar) {
    EXPECT_EQ(0.0, Similar("", ""));
    EXPECT_EQ(0.0, Similar("a", "a"));
    EXPECT_EQ(0.0, Similar("a", "abc"));
    EXPECT_EQ(0.0, Similar("abc", ""));
    EXPECT_EQ(0.0, Similar(nullptr, "abc"));
    EXPECT_EQ(1.0, Similar("ab", "ab"));
}

TEST(SimilarityScore, EveryListNameIsFullySimilarToItself) {
    for (size_t i = 0; i < kSystemFileNameCount; ++i) {
        EXPECT_EQ(1.0, Similar(kSystemFileNames[i], kSystemFileNames[i])) << kSystemFileNames[i];
    }
}

TEST(SimilarityScore, StaysWithinZeroAndOne) {
    uint32_t seed = 20261207;
    auto next = [&seed] {
        seed = seed * 1103515245u + 12345u;
        return seed >> 16;
    };
    // Random bytes (line ends and high bytes included) against list names; lengths run
    // past 32 so the wrapped weights are covered too.
    for (int round = 0; round < 20000; ++round) {
        const char* name = kSystemFileNames[next() % kSystemFileNameCount];
        std::string candidate(next() % 48, '\0');
        for (char& c : candidate) {
            const uint32_t pick = next() % 4;
            c = pick == 0 ? name[next() % std::strlen(name)] : static_cast<char>(1 + next() % 255);
        }
        const double value = Similar(name, candidate);
        ASSERT_GE(value, 0.0) << name << " / " << candidate;
        ASSERT_LE(value, 1.0) << name << " / " << candidate;
    }
}
