#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string>
#include <vector>

#include "process_thread_info.h"
#include "program_folder_win.h"
#include "running_images_win.h"

namespace {

using kvtest::ProgramPath;

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    return text;
}

// The exact paths come from the same reader as the port table's owner paths.
IProcessImagePaths* Resolver() {
    return &TheProcessThreadInfo();
}

TEST(RunningImagesWinTest, TheListingNamesThisProgram) {
    CRunningImageNames running;
    std::vector<CRunningImageNames::Listed> processes;
    ASSERT_TRUE(running.ListProcesses(&processes));
    const std::string own = ProgramPath();
    const std::string ownName = Lower(own.substr(own.find_last_of('\\') + 1));
    bool found = false;
    for (const auto& process : processes) {
        if (process.pid != GetCurrentProcessId()) continue;
        found = true;
        EXPECT_EQ(Lower(process.name), ownName);
        EXPECT_NE(process.started, 0);
    }
    EXPECT_TRUE(found) << "this process among " << processes.size();
}

TEST(RunningImagesWinTest, OnlyTheExactPathOfAProgramMayBeRunning) {
    CRunningImageNames running(Resolver());
    const std::string own = ProgramPath();
    const std::string name = own.substr(own.find_last_of('\\') + 1);
    EXPECT_TRUE(running.MayBeRunning(own.c_str()));
    EXPECT_EQ(running.Resolutions(), 1);
    // The same name elsewhere, or in other letters, is not what the port table records.
    EXPECT_FALSE(running.MayBeRunning(("C:\\elsewhere\\" + name).c_str()));
    const std::string lower = Lower(own);
    if (lower != own) {
        EXPECT_FALSE(running.MayBeRunning(lower.c_str()));
    }
    EXPECT_FALSE(running.MayBeRunning(
        (own.substr(0, own.size() - name.size()) + "no-such-program.exe").c_str()));
    EXPECT_FALSE(running.MayBeRunning(""));
    // The path of a live process is read once.
    EXPECT_EQ(running.Resolutions(), 1);
    // Without a way to read exact paths, a matching name is enough.
    CRunningImageNames byName;
    EXPECT_TRUE(byName.MayBeRunning(("C:\\elsewhere\\" + name).c_str()));
}

TEST(RunningImagesWinTest, TheListingIsKeptWhileNoProgramStarts) {
    CRunningImageNames running(Resolver());
    const std::string own = ProgramPath();
    for (int i = 0; i < 20; ++i) EXPECT_TRUE(running.MayBeRunning(own.c_str()));
    // Threads of the system's own services may come and go meanwhile; most answers
    // still come from a kept listing.
    EXPECT_LE(running.Listings(), 5);
    const int before = running.Listings();
    Sleep(300);  // older than a listing is kept
    EXPECT_TRUE(running.MayBeRunning(own.c_str()));
    EXPECT_EQ(running.Listings(), before + 1);
}

// The next test starts a copy of this program that runs until it is ended: given this
// argument it waits before any test is run, and is no test itself.
constexpr char kStayArgument[] = "--kv-stay-until-ended";
struct StayUntilEnded {
    StayUntilEnded() {
        if (strstr(GetCommandLineA(), kStayArgument) == nullptr) return;
        Sleep(30000);
        ExitProcess(0);
    }
} const stayUntilEnded;

TEST(RunningImagesWinTest, AProgramThatStartsIsSeenWithoutWaitingForTheListingToAge) {
    char folder[MAX_PATH] = {};
    ASSERT_NE(GetTempPathA(MAX_PATH, folder), 0u);
    const std::string copy =
        std::string(folder) + "kv-fresh-program-" + std::to_string(GetCurrentProcessId()) + ".exe";
    ASSERT_TRUE(CopyFileA(ProgramPath().c_str(), copy.c_str(), FALSE)) << GetLastError();

    // Kept for an hour: only the grown process list can make it list again.
    CRunningImageNames running(Resolver(), 3600 * 1000);
    EXPECT_TRUE(running.MayBeRunning(ProgramPath().c_str()));
    EXPECT_FALSE(running.MayBeRunning(copy.c_str()));

    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    std::string command = "\"" + copy + "\" " + kStayArgument;
    ASSERT_TRUE(CreateProcessA(copy.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr,
                               nullptr, &startup, &process))
        << GetLastError();
    // Until its loader has run, nobody can read the new program's image path.
    bool readable = false;
    for (int i = 0; i < 100 && !readable; ++i) {
        ProcessPathMap paths;
        readable = Resolver()->ResolveImagePaths({process.dwProcessId}, &paths) &&
                   paths.count(process.dwProcessId) != 0;
        if (!readable) Sleep(50);
    }
    EXPECT_TRUE(readable);
    EXPECT_TRUE(running.MayBeRunning(copy.c_str()));

    TerminateProcess(process.hProcess, 0);
    WaitForSingleObject(process.hProcess, 5000);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    DeleteFileA(copy.c_str());
}

}  // namespace
