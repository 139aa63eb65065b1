// Workers that a library is unloaded under: a worker that finishes when told ends after
// the unload, one that never looks is ended by force and is gone before FreeLibrary
// returns; either way the host goes on loading libraries.
#include "win32/threads.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "program_folder_win.h"

namespace {

using StartProbeFn = DWORD(__cdecl*)(int mode, DWORD graceMs);

struct UnloadCase {
    const char* name;
    int mode;
    DWORD graceMs;
    DWORD unloadAtMostMs;  // FreeLibrary's own time
    bool goneAtUnload;     // the thread has ended when FreeLibrary returns
};

// A worker that runs on in the unloaded library faults there: end the test program at
// once with the fault's address instead of waiting for a debugger.
LONG WINAPI ReportFault(EXCEPTION_POINTERS* fault) {
    fprintf(stderr, "fault 0x%08lx at %p\n", fault->ExceptionRecord->ExceptionCode,
            fault->ExceptionRecord->ExceptionAddress);
    TerminateProcess(GetCurrentProcess(), 3);
    return EXCEPTION_CONTINUE_SEARCH;
}

TEST(ParkedThread, UnloadEndsTheWorkerAndTheHostGoesOn) {
    SetUnhandledExceptionFilter(ReportFault);
    const UnloadCase cases[] = {
        {"finishes when told", 0, 5000, 1000, false},
        {"never looks", 1, 300, 2000, true},
    };
    // Several rounds: each load meets whatever the unload before it left behind, and a
    // worker that wakes too early in one of them shows.
    for (int round = 0; round < 12; ++round) {
        for (const UnloadCase& c : cases) {
            HMODULE probe = LoadLibraryA(kvtest::BesideProgram("ParkedProbe.dll").c_str());
            ASSERT_NE(nullptr, probe) << GetLastError();
            auto start = ProcAddress<StartProbeFn>(probe, "StartProbe");
            ASSERT_NE(nullptr, start);
            const DWORD id = start(c.mode, c.graceMs);
            ASSERT_NE(0u, id) << c.name;
            UniqueHandle thread(OpenThread(SYNCHRONIZE, FALSE, id));
            ASSERT_TRUE(thread) << c.name;
            Sleep(50);

            const DWORD before = GetTickCount();
            ASSERT_TRUE(FreeLibrary(probe)) << c.name;
            EXPECT_LE(GetTickCount() - before, c.unloadAtMostMs) << c.name;
            if (c.goneAtUnload) {
                EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread.get(), 0)) << c.name;
            } else {
                // The parked worker leaves through ExitThread once the loader lock is free.
                EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread.get(), 2000)) << c.name;
            }
        }
    }
}

TEST(ParkedThread, EndWithoutStartAndAnEmptyBody) {
    kvwin::ParkedThread never;
    never.End(0);
    EXPECT_FALSE(never.started());

    kvwin::ParkedThread quick;
    ASSERT_TRUE(quick.Start([](void*) {}, nullptr));
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(quick.parked(), 2000));
    UniqueHandle thread(OpenThread(SYNCHRONIZE, FALSE, quick.threadId()));
    quick.End(1000);
    EXPECT_FALSE(quick.started());
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread.get(), 2000));
    quick.End(1000);  // twice is harmless
}

}  // namespace
