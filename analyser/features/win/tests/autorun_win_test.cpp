#include <windows.h>

#include <shlobj.h>

#include <gtest/gtest.h>
#include "subject_probe.h"

#include <algorithm>
#include <string>

#include "autorun_system_win.h"
#include "data_provider.h"
#include "win32/handles.h"
#include "related_by_auto_run.h"

namespace {

constexpr const char kRunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";

// A value of the current user's Run key, removed again when the test ends.
class RunValue {
public:
    RunValue(const std::string& name, const std::string& data, DWORD type = REG_SZ) : name_(name) {
        HKEY key = nullptr;
        ok_ = RegCreateKeyExA(HKEY_CURRENT_USER, kRunKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                              &key, nullptr) == ERROR_SUCCESS;
        if (!ok_) return;
        UniqueKey owned(key);
        ok_ =
            RegSetValueExA(key, name.c_str(), 0, type, reinterpret_cast<const BYTE*>(data.c_str()),
                           static_cast<DWORD>(data.size() + 1)) == ERROR_SUCCESS;
    }
    ~RunValue() { Remove(); }
    void Remove() {
        HKEY key = nullptr;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, kRunKey, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS)
            return;
        UniqueKey owned(key);
        RegDeleteValueA(key, name_.c_str());
    }
    bool ok() const { return ok_; }

private:
    std::string name_;
    bool ok_ = false;
};

std::string Unique(const char* prefix) {
    return prefix + std::to_string(GetCurrentProcessId());
}

bool Lists(const std::vector<std::string>& paths, const std::string& path) {
    return std::find(paths.begin(), paths.end(), path) != paths.end();
}

TEST(AutorunWinTest, RunValueInAnotherCaseWithArgumentsFires) {
    CSystemAutorun system;
    CRelatedByAutoRun feature(&system);
    const std::string value = Unique("kv_autorun_");
    {
        RunValue run(value, "\"C:\\KV Test\\AutoRun Prog.EXE\" /quiet --x");
        ASSERT_TRUE(run.ok());
        ASSERT_EQ(feature.Prepare(), 1);
        EXPECT_EQ(AnalyseWithPath(feature, "c:\\kv test\\autorun prog.exe"), 1);
        EXPECT_EQ(AnalyseWithPath(feature, "C:\\KV Test\\AutoRun Prog.EXE"), 1);
        EXPECT_EQ(AnalyseWithPath(feature, "c:\\kv test\\autorun prog.exe /quiet --x"), 0);
        EXPECT_EQ(AnalyseWithPath(feature, "c:\\kv test\\other.exe"), 0);
    }
    ASSERT_EQ(feature.Prepare(), 1);
    EXPECT_EQ(AnalyseWithPath(feature, "c:\\kv test\\autorun prog.exe"), 0);
}

TEST(AutorunWinTest, EnvironmentStringsAreExpanded) {
    ASSERT_TRUE(SetEnvironmentVariableA("KV_AUTORUN_DIR", "C:\\Expanded Dir"));
    RunValue run(Unique("kv_autorun_env_"), "%KV_AUTORUN_DIR%\\agent.exe -a", REG_EXPAND_SZ);
    ASSERT_TRUE(run.ok());
    std::vector<std::string> paths;
    ASSERT_TRUE(CSystemAutorun::ReadRunKey(HKEY_CURRENT_USER, kRunKey, &paths));
    EXPECT_TRUE(Lists(paths, "C:\\Expanded Dir\\agent.exe"));
    SetEnvironmentVariableA("KV_AUTORUN_DIR", nullptr);
}

TEST(AutorunWinTest, OverlongValuesAreSkippedAndTheRestRead) {
    const std::string longPath = "C:\\" + std::string(kMaxAutorunValueBytes, 'L') + ".exe";
    RunValue tooLong(Unique("kv_autorun_long_"), longPath);
    RunValue fits(Unique("kv_autorun_short_"), "C:\\short\\fits.exe");
    const std::string edgePath = "C:\\" + std::string(kMaxAutorunValueBytes - 8, 'E') + ".exe";
    RunValue edge(Unique("kv_autorun_edge_"),
                  edgePath);  // with its terminator: the limit
    ASSERT_TRUE(tooLong.ok() && fits.ok() && edge.ok());
    std::vector<std::string> paths;
    ASSERT_TRUE(CSystemAutorun::ReadRunKey(HKEY_CURRENT_USER, kRunKey, &paths));
    EXPECT_TRUE(Lists(paths, "C:\\short\\fits.exe"));
    EXPECT_TRUE(Lists(paths, edgePath));
    EXPECT_FALSE(Lists(paths, longPath));
    for (const std::string& path : paths) EXPECT_LE(path.size(), kMaxAutorunValueBytes);
}

TEST(AutorunWinTest, CrowdedKeyIsReadOnlyToItsBound) {
    const std::string subKey = "Software\\KvAutorunTest" + Unique("_");
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, subKey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    {
        UniqueKey owned(key);
        for (int i = 0; i < 300; ++i) {
            const std::string name = "v" + std::to_string(i);
            const std::string data = "C:\\many\\p" + std::to_string(i) + ".exe";
            RegSetValueExA(key, name.c_str(), 0, REG_SZ,
                           reinterpret_cast<const BYTE*>(data.c_str()),
                           static_cast<DWORD>(data.size() + 1));
        }
        // Values that are no text do not count as programs.
        const DWORD number = 5;
        RegSetValueExA(key, "zz_number", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), 4);
    }
    std::vector<std::string> paths;
    const bool read = CSystemAutorun::ReadRunKey(HKEY_CURRENT_USER, subKey.c_str(), &paths);
    RegDeleteKeyA(HKEY_CURRENT_USER, subKey.c_str());
    ASSERT_TRUE(read);
    EXPECT_EQ(paths.size(), kMaxAutorunEntriesPerPlace);
    EXPECT_FALSE(CSystemAutorun::ReadRunKey(HKEY_CURRENT_USER, subKey.c_str(), &paths));
}

TEST(AutorunWinTest, StartupFolderFilesAreListed) {
    char folder[MAX_PATH] = {};
    ASSERT_EQ(SHGetFolderPathA(nullptr, CSIDL_STARTUP | CSIDL_FLAG_CREATE, nullptr,
                               SHGFP_TYPE_CURRENT, folder),
              S_OK);
    const std::string file = std::string(folder) + "\\" + Unique("kv_autorun_") + ".lnk";
    const std::string subfolder = std::string(folder) + "\\" + Unique("kv_autorun_dir_");
    ASSERT_TRUE(CreateDirectoryA(subfolder.c_str(), nullptr)) << GetLastError();
    {
        UniqueFile created(CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(created) << GetLastError();
    }
    CSystemAutorun system;
    std::vector<std::string> paths;
    const bool read = system.ReadAutorunPaths(&paths);
    CRelatedByAutoRun feature(&system);
    feature.Prepare();
    const int fired = AnalyseWithPath(feature, file);
    DeleteFileA(file.c_str());
    RemoveDirectoryA(subfolder.c_str());
    ASSERT_TRUE(read);
    EXPECT_TRUE(Lists(paths, file));
    EXPECT_FALSE(Lists(paths, subfolder));  // a folder is no program
    EXPECT_EQ(fired, 1);
}

}  // namespace
