#include <string>

#include <gtest/gtest.h>

#include "fake_name_core.h"
#include "system_file_names.h"

namespace {

class FakeFileNameCoreTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(1, core_.Prepare()); }

    // The decision for a file name split as the subject record splits it: the base name
    // ends at the last dot, the extension text starts after the first one.
    CFakeFileNameCore::Decision DecideFileName(const std::string& fileName) const {
        const size_t last = fileName.rfind('.');
        const size_t first = fileName.find('.');
        const std::string base = last == std::string::npos ? fileName : fileName.substr(0, last);
        const std::string ext = first == std::string::npos ? fileName : fileName.substr(first + 1);
        EXPECT_EQ(core_.Decide(CFakeFileNameCore::BuildCandidate(base.c_str(), ext.c_str())).result,
                  core_.Analyse(base.c_str(), ext.c_str()));
        return core_.Decide(CFakeFileNameCore::BuildCandidate(base.c_str(), ext.c_str()));
    }

    static std::string NameOf(const CFakeFileNameCore::Decision& decision) {
        return decision.name != nullptr ? decision.name : "(none)";
    }

    CFakeFileNameCore core_;
};

}  // namespace

TEST_F(FakeFileNameCoreTest, SystemNamesAreSettledExactlyOrIgnoringCase) {
    EXPECT_EQ(-1, DecideFileName("svchost.exe").result);
    const auto upper = DecideFileName("SVCHOST.EXE");
    EXPECT_EQ(0, upper.result);
    EXPECT_EQ("svchost.exe", NameOf(upper));
}

// Every list name is found exactly. Its other-case spelling (every letter of the
// alphabet flipped) is settled by the first list name that is equal to it ignoring case
// or similar to it: when that is the name itself and no earlier name rewrote a digit
// pair of the candidate, the answer is 0, never 1.
TEST_F(FakeFileNameCoreTest, EveryListNameExactlyAndInTheOtherCase) {
    for (const char* name : core_.Names()) {
        ASSERT_EQ(-1, core_.Decide(name).result) << name;
        std::string flipped = name;
        for (char& c : flipped) {
            if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) c = static_cast<char>(c ^ 0x20);
        }
        const CFakeFileNameCore::Decision decision = core_.Decide(flipped);
        if (decision.result == -1) continue;  // the other spelling is listed too
        if (NameOf(decision) == name && decision.candidate == flipped) {
            EXPECT_EQ(0, decision.result) << flipped;
        }
    }
}

TEST_F(FakeFileNameCoreTest, LookAlikesFire) {
    const auto zero = DecideFileName("svch0st.exe");
    EXPECT_EQ(1, zero.result);
    EXPECT_EQ("svchost.exe", NameOf(zero));

    const auto kernel = DecideFileName("kerne132.dll");
    EXPECT_EQ(1, kernel.result);
    EXPECT_EQ("KERNEL32.DLL", NameOf(kernel));

    const auto capitalI = DecideFileName("Isass.exe");
    EXPECT_EQ(1, capitalI.result);
    EXPECT_EQ("LSASS.EXE", NameOf(capitalI));
}

TEST_F(FakeFileNameCoreTest, NearButNotCloseEnoughDoesNotFire) {
    const auto digitOne = DecideFileName("1sass.exe");
    EXPECT_EQ(0, digitOne.result);
    EXPECT_EQ("(none)", NameOf(digitOne));
    const auto missing = DecideFileName("svhost.exe");
    EXPECT_EQ(0, missing.result);
    EXPECT_EQ("(none)", NameOf(missing));
}

TEST_F(FakeFileNameCoreTest, ListNamesThatLookAlikeDependOnTheExactLookup) {
    // d3d8.dll precedes d3d9.dll and is fully similar to it.
    EXPECT_EQ(-1, DecideFileName("d3d9.dll").result);
    const auto upper9 = DecideFileName("D3D9.DLL");
    EXPECT_EQ(1, upper9.result);
    EXPECT_EQ("d3d8.dll", NameOf(upper9));
    const auto upper8 = DecideFileName("D3D8.DLL");
    EXPECT_EQ(0, upper8.result);
    EXPECT_EQ("d3d8.dll", NameOf(upper8));
}

TEST_F(FakeFileNameCoreTest, CandidateRepeatsTheInnerExtension) {
    EXPECT_EQ("report.doc.doc.exe", CFakeFileNameCore::BuildCandidate("report.doc", "doc.exe"));
    EXPECT_EQ("report.doc.doc.exe", DecideFileName("report.doc.exe").candidate);
    EXPECT_EQ("readme.readme", CFakeFileNameCore::BuildCandidate("readme", "readme"));
}

TEST_F(FakeFileNameCoreTest, LaterNamesSeeTheRewrittenCandidate) {
    // An earlier name with H in second place turns "14" into "H"; SHELL32.DLL then meets
    // SHEL132.DLL, one look-alike short of itself.
    const auto rewritten = DecideFileName("S14EL132.DLL");
    EXPECT_EQ(1, rewritten.result);
    EXPECT_EQ("SHELL32.DLL", NameOf(rewritten));
    EXPECT_EQ("SHEL132.DLL", rewritten.candidate);
    // After the rewrite the candidate equals SHELL32.DLL when case is ignored.
    const auto folded = DecideFileName("s14ell32.dll");
    EXPECT_EQ(0, folded.result);
    EXPECT_EQ("SHELL32.DLL", NameOf(folded));
    EXPECT_EQ("sHell32.dll", folded.candidate);
}

TEST_F(FakeFileNameCoreTest, EmptyRecordGivesTheDotAlone) {
    const auto empty = core_.Decide(CFakeFileNameCore::BuildCandidate(nullptr, nullptr));
    EXPECT_EQ(".", empty.candidate);
    EXPECT_EQ(0, empty.result);
    EXPECT_EQ(nullptr, empty.name);
    EXPECT_EQ(0, core_.Analyse(nullptr, nullptr));
    EXPECT_EQ(0, core_.Analyse("", ""));
}

TEST_F(FakeFileNameCoreTest, LongFileNamesAreHandledWhole) {
    const std::string longBase = "svchost" + std::string(293, 'x');
    EXPECT_EQ(0, core_.Analyse(longBase.c_str(), "exe"));
    EXPECT_EQ(
        304u,
        core_.Decide(CFakeFileNameCore::BuildCandidate(longBase.c_str(), "exe")).candidate.size());
    // Rewrites near the start move the whole long tail up.
    std::string pairs;
    for (int i = 0; i < 100; ++i) pairs += "H14";
    const auto moved = core_.Decide(CFakeFileNameCore::BuildCandidate(pairs.c_str(), "exe"));
    EXPECT_EQ(0, moved.result);
    EXPECT_LT(moved.candidate.size(), 304u);
    EXPECT_EQ(".exe", moved.candidate.substr(moved.candidate.size() - 4));
}

TEST(FakeFileNameCore, PrepareLoadsTheTableOnce) {
    CFakeFileNameCore core;
    // Before Prepare there is nothing to compare with, and nothing fires.
    EXPECT_EQ(0, core.Analyse("svch0st", "exe"));
    EXPECT_EQ(1, core.Prepare());
    EXPECT_EQ(1, core.Prepare());
    ASSERT_EQ(kSystemFileNameCount, core.Names().size());
    for (size_t i = 0; i < kSystemFileNameCount; ++i) {
        EXPECT_EQ(kSystemFileNames[i], core.Names()[i]);
    }
    EXPECT_EQ(1, core.Analyse("svch0st", "exe"));
}
