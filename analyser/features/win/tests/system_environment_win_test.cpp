#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "data_provider.h"
#include "feature_environment_win.h"
#include "in_sys_dir.h"
#include "recent_create_time.h"
#include "subject_probe.h"

namespace {

std::string SystemText(UINT(WINAPI* query)(LPSTR, UINT)) {
    char buffer[MAX_PATH] = {};
    const UINT length = query(buffer, MAX_PATH);
    return std::string(buffer, length);
}

TEST(SystemEnvironmentTest, DirectoriesAsTheSystemReportsThem) {
    CSystemFeatureEnvironment environment;
    std::string windowsDir;
    std::string systemDir;
    ASSERT_TRUE(environment.WindowsDirectory(&windowsDir));
    ASSERT_TRUE(environment.SystemDirectory(&systemDir));
    EXPECT_EQ(windowsDir, SystemText(GetWindowsDirectoryA));
    EXPECT_EQ(systemDir, SystemText(GetSystemDirectoryA));
    // Wine's prefix answers C:\windows and C:\windows\system32.
    EXPECT_EQ(environment.ToLower(windowsDir), "c:\\windows");
    EXPECT_EQ(environment.ToLower(systemDir), "c:\\windows\\system32");
}

TEST(SystemEnvironmentTest, LowerCasingLeavesNonLettersAlone) {
    EXPECT_EQ(MultiByteLower("C:\\WINDOWS\\Setup_1.EXE"), "c:\\windows\\setup_1.exe");
    EXPECT_EQ(MultiByteLower(""), "");
}

TEST(SystemEnvironmentTest, ClockIsTheCLibraryClock) {
    CSystemFeatureEnvironment environment;
    const int64_t now = environment.Now();
    EXPECT_GT(now, 1600000000);
    EXPECT_LE(now - static_cast<int64_t>(time(nullptr)), 1);
}

TEST(SystemEnvironmentTest, InSysDirAgainstTheRealDirectories) {
    CSystemFeatureEnvironment environment;
    CInSysDir feature(&environment);
    ASSERT_EQ(feature.Prepare(), 1);
    EXPECT_EQ(AnalyseWithPath(feature, "C:\\WINDOWS\\system32\\x.dll"), 1);
    EXPECT_EQ(AnalyseWithPath(feature, "C:\\Windows\\notepad.exe"), 1);
    EXPECT_EQ(AnalyseWithPath(feature, "D:\\copy of C:\\Windows\\x.exe"), 1);
    EXPECT_EQ(AnalyseWithPath(feature, "C:\\Program Files\\x.exe"), 0);
    EXPECT_EQ(AnalyseWithPath(feature, "Z:\\tmp\\x.exe"), 0);
}

TEST(SystemEnvironmentTest, RecentCreateTimeAgainstTheRealClock) {
    CSystemFeatureEnvironment environment;
    CRecentCreateTime feature(&environment);
    ASSERT_EQ(feature.Prepare(), 1);
    const int64_t now = environment.Now();
    const int64_t day = 86400;
    EXPECT_EQ(AnalyseWithPath(feature, "C:\\windows\\new.exe", now - 6 * day), 1);
    EXPECT_EQ(AnalyseWithPath(feature, "C:\\windows\\old.exe", now - 8 * day), 0);
    EXPECT_EQ(AnalyseWithPath(feature, "C:\\WINDOWS\\system32\\soon.exe", now + day), 1);
    EXPECT_EQ(AnalyseWithPath(feature, "Z:\\tmp\\new.exe", now - 3600), 0);
}

}  // namespace
