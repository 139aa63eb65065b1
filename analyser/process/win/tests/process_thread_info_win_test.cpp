#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <string>

#include "port_holder_client.h"
#include "process_thread_info.h"
#include "process_thread_info_9x.h"
#include "process_thread_info_nt.h"
#include "program_folder_win.h"

namespace {

using kvtest::ProgramPath;

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

bool EndsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() && Lower(text.substr(text.size() - tail.size())) == tail;
}

size_t CountPid(const ProcessSnapshot& snapshot, uint32_t pid) {
    return std::count_if(snapshot.Entries().begin(), snapshot.Entries().end(),
                         [pid](const ProcessEntry& entry) { return entry.pid == pid; });
}

TEST(ProcessThreadInfoTest, FacadeTakesTheNtImplementationAndAnswersItsName) {
    CProcessThreadInfo facade;
    EXPECT_TRUE(facade.IsNtFamily());  // Wine reports the NT family
    EXPECT_STREQ(facade.GetName(nullptr, 0), "IPROCESSHELPER");
    char buffer[20];
    memset(buffer, 'x', sizeof(buffer));
    facade.GetName(buffer, sizeof(buffer));
    EXPECT_STREQ(buffer, "IPROCESSHELPER");
    EXPECT_EQ(facade.GetInterface("IPROCESSHELPER", 0),
              static_cast<void*>(static_cast<IProcessHelper*>(&facade)));
    EXPECT_EQ(facade.GetInterface("IProcessHelper", 0), nullptr);
    EXPECT_EQ(facade.GetInterface("IPROCESSHELPE", 0), nullptr);
    EXPECT_EQ(facade.GetInterface(nullptr, 0), nullptr);
}

TEST(ProcessThreadInfoTest, NtSnapshotListsThisProcessAndItsModules) {
    CProcessThreadInfo facade;
    ProcessPathMap paths;
    EXPECT_FALSE(facade.GetProcessPaths(&paths));  // nothing before the first Refresh
    ASSERT_TRUE(facade.Refresh());
    ASSERT_TRUE(facade.GetProcessPaths(&paths));
    ASSERT_EQ(paths.count(GetCurrentProcessId()), 1u);
    EXPECT_EQ(paths[GetCurrentProcessId()], ProgramPath());

    ModulePathMap modules;
    ASSERT_TRUE(facade.GetModulePaths(GetCurrentProcessId(), &modules));
    const auto kernel =
        static_cast<uint32_t>(reinterpret_cast<uintptr_t>(GetModuleHandleA("kernel32.dll")));
    ASSERT_EQ(modules.count(kernel), 1u);
    EXPECT_TRUE(EndsWith(modules[kernel], "\\kernel32.dll")) << modules[kernel];
    const auto main = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(GetModuleHandleA(nullptr)));
    EXPECT_EQ(modules[main], ProgramPath());
}

TEST(ProcessThreadInfoTest, ModulePathsOfAnUnknownIdLeaveTheMap) {
    CProcessThreadInfo facade;
    ASSERT_TRUE(facade.Refresh());
    ProcessPathMap paths;
    ASSERT_TRUE(facade.GetProcessPaths(&paths));
    uint32_t unknown = 0xFFFFFFF0u;
    while (paths.count(unknown) != 0) unknown -= 4;
    ModulePathMap modules = {{1, "kept"}};
    EXPECT_FALSE(facade.GetModulePaths(unknown, &modules));
    EXPECT_EQ(modules, (ModulePathMap{{1, "kept"}}));
}

TEST(ProcessThreadInfoTest, RefreshReplacesTheSnapshotWhole) {
    CProcessThreadInfoNT nt;
    ASSERT_TRUE(nt.Ready());
    ASSERT_TRUE(nt.Refresh());
    ASSERT_TRUE(nt.Refresh());
    ASSERT_FALSE(nt.Snapshot().Entries().empty());
    for (const ProcessEntry& entry : nt.Snapshot().Entries()) {
        EXPECT_EQ(CountPid(nt.Snapshot(), entry.pid), 1u) << entry.path;
    }

    // A process that ended since is gone from the next snapshot.
    PortHolder holder;
    ASSERT_TRUE(holder.Start({})) << holder.Error();
    const DWORD pid = holder.Pid();
    ASSERT_TRUE(nt.Refresh());
    EXPECT_EQ(CountPid(nt.Snapshot(), pid), 1u);
    holder.Stop();
    ASSERT_TRUE(nt.Refresh());
    EXPECT_EQ(CountPid(nt.Snapshot(), pid), 0u);
}

TEST(ProcessThreadInfoTest, NtSnapshotNamesAnotherProcessByItsMainImage) {
    PortHolder holder;
    ASSERT_TRUE(holder.Start({})) << holder.Error();
    CProcessThreadInfo facade;
    ASSERT_TRUE(facade.Refresh());
    ProcessPathMap paths;
    ASSERT_TRUE(facade.GetProcessPaths(&paths));
    ASSERT_EQ(paths.count(holder.Pid()), 1u);
    EXPECT_EQ(Lower(paths[holder.Pid()]), Lower(holder.ImagePath()));
}

TEST(ProcessThreadInfoTest, ProcessThatCannotBeOpenedIsAbsent) {
    // A process started suspended has not loaded its modules yet: it cannot be listed,
    // as the idle process and other users' processes cannot.
    const std::string image = kvtest::BesideProgram("port_holder.exe");
    std::string command = "\"" + image + "\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    ASSERT_TRUE(CreateProcessA(image.c_str(), &command[0], nullptr, nullptr, FALSE,
                               CREATE_SUSPENDED, nullptr, nullptr, &startup, &info));
    UniqueHandle process(info.hProcess);
    UniqueHandle thread(info.hThread);

    CProcessThreadInfoNT nt;
    ASSERT_TRUE(nt.Refresh());
    const size_t listed = CountPid(nt.Snapshot(), info.dwProcessId);
    ProcessPathMap resolved;
    ASSERT_TRUE(nt.ResolveImagePaths({info.dwProcessId}, &resolved));
    TerminateProcess(process.get(), 0);
    WaitForSingleObject(process.get(), 20000);
    if (listed != 0) {
        GTEST_SKIP() << "this system lists the modules of a suspended process";
    }
    EXPECT_EQ(resolved.count(info.dwProcessId), 0u);
}

TEST(ProcessThreadInfoTest, ResolvedImagePathsEqualTheSnapshot) {
    PortHolder holder;
    ASSERT_TRUE(holder.Start({})) << holder.Error();
    CProcessThreadInfoNT nt;
    ASSERT_TRUE(nt.Refresh());
    ProcessPathMap listed;
    ASSERT_TRUE(nt.GetProcessPaths(&listed));

    std::vector<uint32_t> pids = {GetCurrentProcessId(), holder.Pid()};
    uint32_t unknown = 0xFFFFFFF0u;
    while (listed.count(unknown) != 0) unknown -= 4;
    pids.push_back(unknown);
    ProcessPathMap resolved = {{unknown, "kept"}};
    ASSERT_TRUE(nt.ResolveImagePaths(pids, &resolved));
    EXPECT_EQ(resolved[GetCurrentProcessId()], listed[GetCurrentProcessId()]);
    EXPECT_EQ(resolved[holder.Pid()], listed[holder.Pid()]);
    EXPECT_EQ(resolved[unknown], "kept");  // an id not found is not written

    // Every process the snapshot lists resolves to the same path.
    std::vector<uint32_t> all;
    for (const auto& entry : listed) all.push_back(entry.first);
    ProcessPathMap everything;
    ASSERT_TRUE(nt.ResolveImagePaths(all, &everything));
    for (const auto& entry : listed) {
        if (everything.count(entry.first) == 0) continue;  // ended in between
        EXPECT_EQ(everything[entry.first], entry.second);
    }
}

TEST(ProcessThreadInfoTest, ToolHelpSnapshotListsProcessesAndModules) {
    CProcessThreadInfo9X toolHelp;
    ProcessPathMap paths;
    EXPECT_FALSE(toolHelp.GetProcessPaths(&paths));
    ASSERT_TRUE(toolHelp.Refresh());
    ASSERT_TRUE(toolHelp.Refresh());
    ASSERT_TRUE(toolHelp.GetProcessPaths(&paths));
    ASSERT_EQ(paths.count(GetCurrentProcessId()), 1u);
    // Tool Help names the image by its file name on NT systems, by its path on 9x.
    EXPECT_TRUE(EndsWith(paths[GetCurrentProcessId()], "process_thread_info_win_tests.exe"))
        << paths[GetCurrentProcessId()];
    for (const ProcessEntry& entry : toolHelp.Snapshot().Entries()) {
        EXPECT_EQ(CountPid(toolHelp.Snapshot(), entry.pid), 1u) << entry.path;
    }

    // The module list is complete in the snapshot; the map is keyed by module id, which
    // NT systems give as 1 for every module, so there it keeps one path.
    const auto self =
        std::find_if(toolHelp.Snapshot().Entries().begin(), toolHelp.Snapshot().Entries().end(),
                     [](const ProcessEntry& entry) { return entry.pid == GetCurrentProcessId(); });
    ASSERT_NE(self, toolHelp.Snapshot().Entries().end());
    const bool hasKernel = std::any_of(
        self->modules.begin(), self->modules.end(),
        [](const ModuleEntry& module) { return EndsWith(module.path, "\\kernel32.dll"); });
    EXPECT_TRUE(hasKernel);
    ModulePathMap modules;
    ASSERT_TRUE(toolHelp.GetModulePaths(GetCurrentProcessId(), &modules));
    EXPECT_FALSE(modules.empty());

    ProcessPathMap resolved;
    ASSERT_TRUE(toolHelp.ResolveImagePaths({GetCurrentProcessId()}, &resolved));
    EXPECT_EQ(resolved, (ProcessPathMap{{GetCurrentProcessId(), paths[GetCurrentProcessId()]}}));
}

TEST(ProcessThreadInfoTest, ShutdownLeavesAFacadeThatAnswersFalse) {
    CProcessThreadInfo facade;
    ASSERT_TRUE(facade.Refresh());
    facade.Shutdown();
    ProcessPathMap paths;
    EXPECT_FALSE(facade.Refresh());
    EXPECT_FALSE(facade.GetProcessPaths(&paths));
    EXPECT_FALSE(facade.ResolveImagePaths({GetCurrentProcessId()}, &paths));
    EXPECT_TRUE(paths.empty());
}

}  // namespace
