#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "running_images.h"

namespace {

const std::vector<std::string> kListing = {"System", "services.exe", "srv.exe", "Explorer.EXE"};

TEST(RunningImagesTest, OnlyAPathEndingInARunningImageNameMayBeRunning) {
    EXPECT_TRUE(PathMayBeRunning("C:\\x\\srv.exe", kListing));
    EXPECT_TRUE(PathMayBeRunning("C:\\x\\SRV.EXE", kListing));
    EXPECT_TRUE(PathMayBeRunning("C:\\windows\\explorer.exe", kListing));
    EXPECT_TRUE(PathMayBeRunning("C:/x/srv.exe", kListing));
    EXPECT_TRUE(PathMayBeRunning("srv.exe", kListing));

    EXPECT_FALSE(PathMayBeRunning("C:\\x\\srv.ex", kListing));
    EXPECT_FALSE(PathMayBeRunning("C:\\x\\srv.exe.old", kListing));
    EXPECT_FALSE(PathMayBeRunning("C:\\srv.exe\\other.dll", kListing));
    EXPECT_FALSE(PathMayBeRunning("C:\\x\\", kListing));
    EXPECT_FALSE(PathMayBeRunning("", kListing));
    EXPECT_FALSE(PathMayBeRunning(nullptr, kListing));
    EXPECT_FALSE(PathMayBeRunning("C:\\x\\srv.exe", {}));
}

// Letter case is ignored for the 26 letters only: the bytes next to them ('@' and '[',
// '`' and '{') are 32 apart too, and stay different.
TEST(RunningImagesTest, LetterCaseOfTheWholeAlphabetOnly) {
    EXPECT_TRUE(PathMayBeRunning("C:\\x\\ABCDEFGHIJKLMNOPQRSTUVWXYZ.exe",
                                 {"abcdefghijklmnopqrstuvwxyz.EXE"}));
    EXPECT_TRUE(PathMayBeRunning("C:\\x\\abcdefghijklmnopqrstuvwxyz.exe",
                                 {"ABCDEFGHIJKLMNOPQRSTUVWXYZ.exe"}));
    for (const char* pair : {"@`", "[{", "`@", "{["}) {
        const std::string path = std::string("C:\\x\\a") + pair[0] + ".exe";
        EXPECT_FALSE(PathMayBeRunning(path.c_str(), {std::string("a") + pair[1] + ".exe"})) << pair;
    }
}

TEST(RunningImagesTest, NamesThatMaySpellDifferentlyAreNeverRuledOut) {
    // The snapshot names a process whose module name it cannot read "System".
    EXPECT_TRUE(PathMayBeRunning("System", {"a.exe"}));
    EXPECT_FALSE(PathMayBeRunning("C:\\System", {"a.exe"}));
    // Short names and text outside ASCII.
    EXPECT_TRUE(PathMayBeRunning("C:\\PROGRA~1\\x\\a.exe", {"b.exe"}));
    EXPECT_TRUE(PathMayBeRunning("C:\\x\\caf\xe9.exe", {"b.exe"}));
    EXPECT_TRUE(PathMayBeRunning("C:\\x\\a?.exe", {"b.exe"}));
    // A process whose name the listing could not give.
    EXPECT_TRUE(PathMayBeRunning("C:\\x\\a.exe", {"b.exe", kUncomparableImageName}));
}

TEST(RunningImagesTest, PathsASnapshotWouldCutShortAreNeverRuledOut) {
    const std::string folder = "C:\\" + std::string(240, 'd') + "\\";
    const std::string fits = folder + std::string(258 - folder.size() - 4, 'n') + ".exe";
    ASSERT_EQ(fits.size(), 258u);
    EXPECT_FALSE(PathMayBeRunning(fits.c_str(), {"other.exe"}));
    const std::string cut = fits + "x";  // 259: what a cut-short longer path reads as
    EXPECT_TRUE(PathMayBeRunning(cut.c_str(), {"other.exe"}));
    EXPECT_TRUE(PathMayBeRunning((fits + std::string(1000, 'y')).c_str(), {"other.exe"}));
}

TEST(RunningImagesTest, CandidatesAreTheProcessesWhoseNamesMatch) {
    const std::vector<std::string> listing = {"a.exe", "srv.exe", kUncomparableImageName,
                                              "SRV.exe"};
    std::vector<size_t> candidates = {99};
    EXPECT_EQ(MatchRunningImages("C:\\x\\srv.exe", listing, &candidates),
              ImageMatch::kSomeProcesses);
    // Names the listing could not give are candidates too: only their paths can tell.
    EXPECT_EQ(candidates, (std::vector<size_t>{1, 2, 3}));
    EXPECT_EQ(MatchRunningImages("C:\\x\\b.exe", {"a.exe"}, &candidates), ImageMatch::kNoProcess);
    EXPECT_TRUE(candidates.empty());
    EXPECT_EQ(MatchRunningImages("C:\\PROGRA~1\\a.exe", {"a.exe"}, &candidates),
              ImageMatch::kUnsure);
}

}  // namespace
