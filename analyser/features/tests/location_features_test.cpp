#include <gtest/gtest.h>

#include <string>

#include "data_provider.h"
#include "fake_environment.h"
#include "in_sys_dir.h"
#include "recent_create_time.h"
#include "subject_probe.h"

namespace {

TEST(InSysDirTest, SubstringOfEitherDirectoryInLowerCase) {
    FakeEnvironment environment;
    CInSysDir feature(&environment);
    EXPECT_EQ(feature.Prepare(), 1);
    EXPECT_EQ(AnalyseWithPath(feature, "C:\\WINDOWS\\system32\\x.dll"), 1);
    EXPECT_EQ(AnalyseWithPath(feature, "c:\\windows\\x.exe"), 1);
    EXPECT_EQ(AnalyseWithPath(feature, "d:\\backup\\c:\\windows\\x.exe"), 1);
    EXPECT_EQ(AnalyseWithPath(feature, "c:\\windowsx\\a.exe"), 1);
    EXPECT_EQ(AnalyseWithPath(feature, "d:\\windows\\x.exe"), 0);
    EXPECT_EQ(AnalyseWithPath(feature, "c:\\program files\\x.exe"), 0);
    EXPECT_EQ(AnalyseWithPath(feature, "c:\\win"), 0);
    EXPECT_EQ(AnalyseWithPath(feature, ""), 0);

    // A system directory outside the Windows directory counts on its own.
    environment.systemDir = "E:\\SYS";
    feature.Prepare();
    EXPECT_EQ(AnalyseWithPath(feature, "e:\\sys\\a.exe"), 1);
}

TEST(InSysDirTest, UnpreparedFiresForEveryPath) {
    FakeEnvironment environment;
    CInSysDir feature(&environment);
    EXPECT_EQ(AnalyseWithPath(feature, "d:\\anything.exe"), 1);
    EXPECT_EQ(AnalyseWithPath(feature, ""), 1);
}

TEST(InSysDirTest, FailedQueryKeepsTheOldTexts) {
    FakeEnvironment environment;
    CInSysDir feature(&environment);
    feature.Prepare();
    environment.windowsOk = false;
    environment.windowsDir = "D:\\OTHER";
    EXPECT_EQ(feature.Prepare(), 0);
    EXPECT_EQ(AnalyseWithPath(feature, "c:\\windows\\a.exe"), 1);
    EXPECT_EQ(AnalyseWithPath(feature, "d:\\other\\a.exe"), 0);

    environment.windowsOk = true;
    environment.systemOk = false;
    EXPECT_EQ(feature.Prepare(), 0);
    EXPECT_EQ(AnalyseWithPath(feature, "d:\\other\\a.exe"), 1);
}

class RecentCreateTimeTest : public ::testing::Test {
protected:
    RecentCreateTimeTest() { feature_.Prepare(); }
    int Check(const std::string& path, int64_t age) {
        return AnalyseWithPath(feature_, path, environment_.now - age);
    }
    static constexpr int64_t kDay = 86400;
    FakeEnvironment environment_;
    CRecentCreateTime feature_{&environment_};
};

TEST_F(RecentCreateTimeTest, UnderWindowsAndYoungerThanSevenDays) {
    EXPECT_EQ(Check("C:\\Windows\\x.exe", 6 * kDay), 1);
    EXPECT_EQ(Check("C:\\Windows\\x.exe", 8 * kDay), 0);
    EXPECT_EQ(Check("c:\\windows\\system32\\x.exe", 7 * kDay - 1), 1);
    EXPECT_EQ(Check("c:\\windows\\system32\\x.exe", 7 * kDay), 0);
    EXPECT_EQ(Check("c:\\windows\\x.exe", -30 * kDay), 1);  // created in the future
    EXPECT_EQ(Check("d:\\stuff\\x.exe", 3600), 0);
    EXPECT_EQ(Check("d:\\c:\\windows\\x.exe", 3600), 0);  // prefix, not substring
    EXPECT_EQ(Check("c:\\win", 0), 0);
}

TEST_F(RecentCreateTimeTest, UnsetCreationTimeIsOld) {
    EXPECT_EQ(AnalyseWithPath(feature_, "c:\\windows\\x.exe"), 0);
}

TEST_F(RecentCreateTimeTest, ExtremeStoredTimesDoNotOverflow) {
    EXPECT_EQ(AnalyseWithPath(feature_, "c:\\windows\\x.exe", INT64_MIN),
              1);  // the age wraps negative
    EXPECT_EQ(AnalyseWithPath(feature_, "c:\\windows\\x.exe", INT64_MAX), 1);  // far in the future
}

TEST(RecentCreateTimeUnreadTest, UnreadableWindowsDirectoryMatchesEveryPath) {
    FakeEnvironment environment;
    environment.windowsOk = false;
    CRecentCreateTime feature(&environment);
    EXPECT_EQ(feature.Prepare(), 1);
    EXPECT_EQ(AnalyseWithPath(feature, "d:\\x.exe", environment.now), 1);
}

}  // namespace
