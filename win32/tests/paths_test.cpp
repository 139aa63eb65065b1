// The module's own path and folder, the backslash rules and the suite's install layout.
#include "win32/paths.h"

#include <gtest/gtest.h>

#include "scratch_dir_win.h"

namespace {

TEST(ModulePaths, NameThisProgramAndItsFolder) {
    EXPECT_EQ(GetModuleHandleA(nullptr), kvwin::ThisModule());
    const std::string path = kvwin::ModulePath(nullptr);
    ASSERT_GT(path.size(), 16u);
    EXPECT_EQ("win32_tests.exe", kvwin::FileNameOf(path));
    EXPECT_EQ(path, kvwin::ModuleFolder(nullptr) + "win32_tests.exe");
    EXPECT_EQ(path, kvwin::ModulePath(kvwin::ThisModule()));
    EXPECT_EQ("", kvwin::ModulePath(reinterpret_cast<HMODULE>(0x10)));
    EXPECT_EQ("", kvwin::ModuleFolder(reinterpret_cast<HMODULE>(0x10)));
}

TEST(ModulePaths, SplitAtTheLastBackslash) {
    const struct {
        const char* path;
        const char* folder;
        const char* name;
    } cases[] = {
        {"C:\\a\\b.dll", "C:\\a\\", "b.dll"},
        {"C:\\b.dll", "C:\\", "b.dll"},
        {"b.dll", "", "b.dll"},
        {"C:\\a\\", "C:\\a\\", ""},
        {"C:/a/b.dll", "", "C:/a/b.dll"},  // the suite's rule counts backslashes only
        {"", "", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.folder, kvwin::FolderOf(c.path)) << c.path;
        EXPECT_EQ(c.name, kvwin::FileNameOf(c.path)) << c.path;
    }
}

// Run under code page 936 (win32_tests_cp936): 0x5C after a lead byte is a trail byte.
TEST(ModulePaths, CodePage936TrailBytesAreNoSeparator) {
    if (GetACP() != 936) GTEST_SKIP() << "needs code page 936 (ctest win32_tests_cp936)";
    const std::string name = "\xB1\x5C.exe";  // one double-byte character, then ".exe"
    EXPECT_EQ("C:\\d\\", kvwin::FolderOf("C:\\d\\" + name));
    EXPECT_EQ(name, kvwin::FileNameOf("C:\\d\\" + name));
    EXPECT_EQ("", kvwin::FolderOf(name));
}

TEST(InstallLayout, RosterUnderTheCommonFilesFolderAndItsInstallPaths) {
    const std::string common = kvwin::CommonFilesFolder();
    ASSERT_FALSE(common.empty());
    EXPECT_NE('\\', common.back());
    EXPECT_EQ(common + "\\Kavro Labs\\Base\\Roster.ini", kvwin::RosterPath());

    kvtest::ScratchDir dir;
    const std::string roster =
        dir.Write("Roster.ini", "[Addins]\r\nInstall Path=C:\\Suite\\Addins\r\n[Base]\r\n"
                                "Install Path=\r\n[Upkeep]\r\nInstall Path=" +
                                    std::string(300, 'u') + "\r\n");
    EXPECT_EQ("C:\\Suite\\Addins", kvwin::InstallPath(roster, "Addins", "fallback"));
    EXPECT_EQ("", kvwin::InstallPath(roster, "Base", "fallback"));
    EXPECT_EQ("fallback", kvwin::InstallPath(roster, "Keystone", "fallback"));
    EXPECT_EQ("", kvwin::InstallPath(roster, "Keystone"));
    // Values are read into the suite's 260-byte buffers.
    EXPECT_EQ(std::string(259, 'u'), kvwin::InstallPath(roster, "Upkeep"));
}

}  // namespace
