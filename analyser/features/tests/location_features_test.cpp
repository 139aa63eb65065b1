#include <gtest/gtest.h>

#include <string>

#include "data_provider.h"
#include "fake_environment.h"
#include "in_sys_dir.h"
#include "recent_create_time.h"

namespace {

int WithPath(IDataAnalyser& feature, const std::string& path, int64_t created = 0) {
    CDataProvider record(1);
    const char* text = path.c_str();
    record.SetPath(&text);
    record.SetCreateTime(&created);
    return feature.Analyse(&record);
}

TEST(InSysDirTest, SubstringOfEitherDirectoryInLowerCase) {
    FakeEnvironment environment;
    CInSysDir feature(&environment);
    EXPECT_EQ(feature.Prepare(), 1);
    EXPECT_EQ(WithPath(feature, "C:\\WINDOWS\\system32\\x.dll"), 1);
    EXPECT_EQ(WithPath(feature, "c:\\windows\\x.exe"), 1);
    EXPECT_EQ(WithPath(feature, "d:\\backup\\c:\\windows\\x.exe"), 1);
    EXPECT_EQ(WithPath(feature, "c:\\windowsx\\a.exe"), 1);
    EXPECT_EQ(WithPath(feature, "d:\\windows\\x.exe"), 0);
    EXPECT_EQ(WithPath(feature, "c:\\program files\\x.exe"), 0);
    EXPECT_EQ(WithPath(feature, "c:\\win"), 0);
    EXPECT_EQ(WithPath(feature, ""), 0);

    // A system directory outside the Windows directory counts on its own.
    environment.systemDir = "E:\\SYS";
    feature.Prepare();
    EXPECT_EQ(WithPath(feature, "e:\\sys\\a.exe"), 1);
}

TEST(InSysDirTest, UnpreparedFiresForEveryPath) {
    FakeEnvironment environment;
    CInSysDir feature(&environment);
    EXPECT_EQ(WithPath(feature, "d:\\anything.exe"), 1);
    EXPECT_EQ(WithPath(feature, ""), 1);
}

TEST(InSysDirTest, FailedQueryKeepsTheOldTexts) {
    FakeEnvironment environment;
    CInSysDir feature(&environment);
    feature.Prepare();
    environment.windowsOk = false;
    environment.windowsDir = "D:\\OTHER";
    EXPECT_EQ(feature.Prepare(), 0);
    EXPECT_EQ(WithPath(feature, "c:\\windows\\a.exe"), 1);
    EXPECT_EQ(WithPath(feature, "d:\\other\\a.exe"), 0);

    environment.windowsOk = true;
    environment.systemOk = false;
    EXPECT_EQ(feature.Prepare(), 0);
    EXPECT_EQ(WithPath(feature, "d:\\other\\a.exe"), 1);
}

class RecentCreateTimeTest : public ::testing::Test {
protected:
    RecentCreateTimeTest() { feature_.Prepare(); }
    int Check(const std::string& path, int64_t age) {
        return WithPath(feature_, path, environment_.now - age);
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
    EXPECT_EQ(WithPath(feature_, "c:\\windows\\x.exe"), 0);
}

TEST_F(RecentCreateTimeTest, ExtremeStoredTimesDoNotOverflow) {
    EXPECT_EQ(WithPath(feature_, "c:\\windows\\x.exe", INT64_MIN), 1);  // the age wraps negative
    EXPECT_EQ(WithPath(feature_, "c:\\windows\\x.exe", INT64_MAX), 1);  // far in the future
}

TEST(RecentCreateTimeUnreadTest, UnreadableWindowsDirectoryMatchesEveryPath) {
    FakeEnvironment environment;
    environment.windowsOk = false;
    CRecentCreateTime feature(&environment);
    EXPECT_EQ(feature.Prepare(), 1);
    EXPECT_EQ(WithPath(feature, "d:\\x.exe", environment.now), 1);
}

}  // namespace
