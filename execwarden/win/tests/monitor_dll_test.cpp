// The process monitor through ExecWarden.dll as a host uses it, with the real service
// manager and the driver double. Every test loads and frees the library.
#include <windows.h>

#include <tlhelp32.h>

#include <cstring>
#include <memory>

#include <gtest/gtest.h>

#include "monitor_host.h"
#include "scratch_dir_win.h"
#include "shared_page.h"

namespace {

constexpr DWORD kNoSuchProcess = 0x7FFF0001;  // never a Wine process id (those are even)

class MonitorDllTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(RemoveDriverService());
        library_ = std::make_unique<MonitorLibrary>();
        ASSERT_TRUE(library_->loaded()) << "error " << GetLastError();
        monitor_ = library_->monitor();
    }
    void TearDown() override {
        library_.reset();
        EXPECT_FALSE(DriverServiceExists()) << "the unload left the service behind";
        RemoveDriverService();
    }
    // Start, then the test's own channel to the driver the component started.
    void StartMonitor() {
        ASSERT_TRUE(monitor_->Start());
        ASSERT_TRUE(driver_.Open()) << "error " << GetLastError();
    }

    std::unique_ptr<MonitorLibrary> library_;
    IProcessMonitor* monitor_ = nullptr;
    DriverDouble driver_;
};

std::uint8_t SharedVerdict(HMODULE library) {
    SharedSection* shared = FindSharedSection(library);
    return shared != nullptr ? Peek(shared->verdict) : 0xEE;
}

TEST_F(MonitorDllTest, ComponentAnswersToItsOwnNameOnly) {
    char name[40];
    std::memset(name, 'x', sizeof name);
    EXPECT_STREQ("Kavro ShellExecute Moniter 1.0.0.0", monitor_->GetName(name, sizeof name));
    EXPECT_STREQ("Kavro ShellExecute Moniter 1.0.0.0", name);
    EXPECT_EQ(0, name[39]);
    EXPECT_EQ(nullptr, monitor_->GetInterface("kavro shellexecute moniter 1.0.0.0", 0));
    EXPECT_EQ(nullptr, monitor_->GetInterface("Kavro ShellExecute Moniter", 0));
    EXPECT_EQ(monitor_, monitor_->Destroy(1));  // the object is the library's: still here
    EXPECT_EQ(monitor_, monitor_->GetInterface("Kavro ShellExecute Moniter 1.0.0.0", 0));
    EXPECT_TRUE(monitor_->Stop());
}

// The service as the component installed it: the driver from the library's own folder.
void ExpectDriverService() {
    UniqueService manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
    UniqueService service(OpenServiceA(manager.get(), "ProcWatcherDriver", SERVICE_QUERY_CONFIG));
    ASSERT_TRUE(service);
    alignas(QUERY_SERVICE_CONFIGA) BYTE buffer[8192];
    auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGA*>(buffer);
    DWORD needed = 0;
    ASSERT_TRUE(QueryServiceConfigA(service.get(), config, sizeof buffer, &needed));
    EXPECT_STREQ("Kavro Labs Process creation detector.", config->lpDisplayName);
    EXPECT_EQ(kvtest::BesideProgram("ProcWatchDriver.sys"), config->lpBinaryPathName);
    EXPECT_EQ(static_cast<DWORD>(SERVICE_KERNEL_DRIVER), config->dwServiceType);
    EXPECT_EQ(static_cast<DWORD>(SERVICE_DEMAND_START), config->dwStartType);
    EXPECT_EQ(static_cast<DWORD>(SERVICE_ERROR_NORMAL), config->dwErrorControl);
}

TEST_F(MonitorDllTest, HandlersSeeEachNewProcessAndBlockedOnesEnd) {
    struct Case {
        const char* what;
        unsigned char first, second;
        std::size_t secondCalls;
        DWORD exitCode;
    } cases[] = {
        {"both allow", 5, 9, 1, STILL_ACTIVE},
        {"the first blocks: the second is not asked", 0, 9, 0, 0},
        {"the second blocks", 3, 0, 1, 0},
    };
    RecordingCallback first, second;
    EXPECT_FALSE(monitor_->AddCallback(nullptr));
    ASSERT_TRUE(monitor_->AddCallback(&first));
    ASSERT_TRUE(monitor_->AddCallback(&second));
    StartMonitor();
    ExpectDriverService();
    const std::string idlePath = kvtest::BesideProgram("idle.exe");
    std::size_t firstCalls = 0, secondCalls = 0;
    DWORD sequence = 1;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        first.SetAnswer(c.first);
        second.SetAnswer(c.second);
        PROCESS_INFORMATION idle = StartIdle(false);
        ASSERT_NE(nullptr, idle.hProcess);
        UniqueHandle process(idle.hProcess), thread(idle.hThread);
        // Reported at once: the new process may not have its modules listed yet.
        ASSERT_TRUE(driver_.Report(sequence++, idle.dwProcessId, 1));
        ASSERT_TRUE(first.WaitForCalls(++firstCalls));
        secondCalls += c.secondCalls;
        if (c.secondCalls > 0) {
            ASSERT_TRUE(second.WaitForCalls(secondCalls));
        }
        EXPECT_EQ(c.exitCode, ExitCodeWithin(process.get(), c.exitCode == 0 ? 10000 : 0));
        if (c.exitCode == STILL_ACTIVE) {
            HMODULE main = MainModuleOf(process.get());
            for (RecordingCallback* handler : {&first, &second}) {
                ExecuteCall call = handler->Calls().back();
                EXPECT_EQ(idlePath, call.file);
                EXPECT_EQ(main, call.module);
                EXPECT_EQ(idle.dwProcessId, call.processId);
                EXPECT_EQ("", call.verb + call.parameters + call.directory);
            }
            TerminateProcess(process.get(), 1);
        }
        EXPECT_EQ(c.secondCalls > 0 ? c.second : c.first, SharedVerdict(library_->module()));
    }
    EXPECT_EQ(secondCalls, second.Calls().size());
}

TEST_F(MonitorDllTest, ProcessWithoutModulesGivesEmptyPathToEachHandlerAfterRetries) {
    RecordingCallback first(1), second(1);
    monitor_->AddCallback(&first);
    monitor_->AddCallback(&second);
    StartMonitor();
    PROCESS_INFORMATION suspended = StartIdle(true);
    ASSERT_NE(nullptr, suspended.hProcess);
    UniqueHandle process(suspended.hProcess), thread(suspended.hThread);
    DWORD reported = GetTickCount();
    ASSERT_TRUE(driver_.Report(1, suspended.dwProcessId, 1));
    ASSERT_TRUE(second.WaitForCalls(1));
    ExecuteCall a = first.Calls().at(0), b = second.Calls().at(0);
    for (const ExecuteCall& call : {a, b}) {
        EXPECT_EQ("", call.file);
        EXPECT_EQ(nullptr, call.module);
        EXPECT_EQ(suspended.dwProcessId, call.processId);
    }
    // 52 tries 20 ms apart for each handler; generous upper bounds for a loaded machine.
    EXPECT_GE(a.tick - reported, 900u);
    EXPECT_GE(b.tick - a.tick, 900u);
    EXPECT_LT(b.tick - reported, 10000u);
    TerminateProcess(process.get(), 1);
}

TEST_F(MonitorDllTest, WithoutHandlersRecordsAreConsumedAndNothingEnds) {
    StartMonitor();
    PROCESS_INFORMATION idle = StartIdle(false);
    ASSERT_NE(nullptr, idle.hProcess);
    UniqueHandle process(idle.hProcess), thread(idle.hThread);
    const unsigned long reads = driver_.Counters().reads;
    ASSERT_TRUE(driver_.Report(1, idle.dwProcessId, 1));
    ASSERT_TRUE(driver_.WaitForReads(reads + 1));
    EXPECT_EQ(STILL_ACTIVE, ExitCodeWithin(process.get(), 200));
    // A handler added late still gets what comes next: the worker went on past the
    // record that no one was asked about.
    RecordingCallback late(1);
    monitor_->AddCallback(&late);
    ASSERT_TRUE(driver_.Report(2, kNoSuchProcess, 1));
    EXPECT_TRUE(late.WaitForProcess(kNoSuchProcess));
    EXPECT_EQ(STILL_ACTIVE, ExitCodeWithin(process.get(), 0));
    TerminateProcess(process.get(), 1);
}

// Reports records and checks which ones reach the handler; broken reads must neither
// invent an event nor make the last one look new again.
TEST_F(MonitorDllTest, EachEventReachesTheHandlersOnce) {
    struct Step {
        const char* what;
        unsigned long failReads, shortBytes;
        DWORD first, processId, flags;
        bool handled;
    } steps[] = {
        {"new", 0, 0, 1, kNoSuchProcess, 0x01, true},
        {"the same record again", 0, 0, 1, kNoSuchProcess, 0x01, false},
        {"upper flag bytes differ", 0, 0, 1, kNoSuchProcess, 0xABCDEF01, false},
        {"low flag byte differs", 0, 0, 1, kNoSuchProcess, 0x02, true},
        {"failed read", 1, 0, 1, kNoSuchProcess, 0x02, false},
        {"short read", 1, 8, 1, kNoSuchProcess, 0x02, false},
        {"after broken reads", 0, 0, 1, kNoSuchProcess, 0x02, false},
        {"first word differs", 0, 0, 2, kNoSuchProcess, 0x02, true},
        {"process differs", 0, 0, 2, kNoSuchProcess + 2, 0x02, true},
    };
    RecordingCallback handler;
    monitor_->AddCallback(&handler);
    StartMonitor();
    // The driver names its event under \BaseNamedObjects: only "Global\" reaches it here.
    const std::pair<const char*, DWORD> names[] = {
        {"ProcWatchDriverProcessEvent", ERROR_FILE_NOT_FOUND},
        {"\\BaseNamedObjects\\ProcWatchDriverProcessEvent", ERROR_BAD_PATHNAME},
        {"Global\\ProcWatchDriverProcessEvent", ERROR_SUCCESS}};
    for (const auto& [name, error] : names) {
        SetLastError(0xDEADBEEF);
        UniqueHandle event(OpenEventA(SYNCHRONIZE, FALSE, name));
        EXPECT_EQ(error, event ? ERROR_SUCCESS : GetLastError()) << name;
    }
    std::vector<DWORD> expected;
    unsigned long reads = driver_.Counters().reads;
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        if (step.failReads > 0) {
            ASSERT_TRUE(driver_.FailReads(step.failReads, step.shortBytes));
        }
        ASSERT_TRUE(driver_.Report(step.first, step.processId, step.flags));
        ASSERT_TRUE(driver_.WaitForReads(++reads));
        if (step.handled) expected.push_back(step.processId);
    }
    // The queue is handled in order: once the last one arrived, any phantom would have too.
    ASSERT_TRUE(handler.WaitForCalls(expected.size()));
    std::vector<DWORD> seen;
    for (const ExecuteCall& call : handler.Calls()) seen.push_back(call.processId);
    EXPECT_EQ(expected, seen);
}

TEST_F(MonitorDllTest, StopAndStartAreCountedAndHoldReadsBack) {
    RecordingCallback handler;
    monitor_->AddCallback(&handler);
    EXPECT_TRUE(monitor_->Stop());  // before the first Start: no effect
    StartMonitor();
    EXPECT_EQ(1u, driver_.Counters().starts);
    EXPECT_EQ(1u, driver_.Counters().reporting);
    ASSERT_TRUE(driver_.Report(1, kNoSuchProcess, 1));
    ASSERT_TRUE(handler.WaitForCalls(1));

    EXPECT_TRUE(monitor_->Stop());
    EXPECT_TRUE(monitor_->Stop());
    unsigned long reads = driver_.Counters().reads;
    ASSERT_TRUE(driver_.Report(2, kNoSuchProcess, 1));
    Sleep(200);  // time for a listener that ignores the pause to read
    EXPECT_EQ(reads, driver_.Counters().reads);
    EXPECT_TRUE(monitor_->Start());
    Sleep(200);
    EXPECT_EQ(reads, driver_.Counters().reads) << "one Start must not undo two Stops";
    EXPECT_EQ(1u, handler.Calls().size());
    EXPECT_TRUE(monitor_->Start());
    ASSERT_TRUE(handler.WaitForCalls(2)) << "the record reported while paused is read";
    EXPECT_TRUE(monitor_->Start());  // more Starts than Stops: nothing to undo
    ASSERT_TRUE(driver_.Report(3, kNoSuchProcess, 1));
    ASSERT_TRUE(handler.WaitForCalls(3));
    EXPECT_EQ(3u, handler.Calls().size());
}

// The service exists already, and its driver offers no event: the component polls.
TEST_F(MonitorDllTest, ExistingServiceWithoutEventIsPolled) {
    {
        UniqueService manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
        const std::string image = kvtest::BesideProgram("ProcWatchDriver.sys");
        UniqueService service(
            CreateServiceA(manager.get(), "ProcWatcherDriver", "test", SERVICE_ALL_ACCESS,
                           SERVICE_KERNEL_DRIVER, SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL,
                           image.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr));
        ASSERT_TRUE(service) << "error " << GetLastError();
        HKEY key = nullptr;
        ASSERT_EQ(ERROR_SUCCESS,
                  RegOpenKeyExA(HKEY_LOCAL_MACHINE,
                                "System\\CurrentControlSet\\Services\\ProcWatcherDriver", 0,
                                KEY_SET_VALUE, &key));
        UniqueKey owned(key);
        const DWORD one = 1;
        ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key, "NoEvent", 0, REG_DWORD,
                                                reinterpret_cast<const BYTE*>(&one), sizeof one));
    }
    RecordingCallback handler;
    monitor_->AddCallback(&handler);
    StartMonitor();
    HANDLE event = OpenEventA(SYNCHRONIZE, FALSE, "Global\\ProcWatchDriverProcessEvent");
    EXPECT_EQ(nullptr, event);
    if (event != nullptr) CloseHandle(event);
    ASSERT_TRUE(driver_.Report(1, kNoSuchProcess, 1));
    ASSERT_TRUE(handler.WaitForCalls(1));
    EXPECT_EQ(kNoSuchProcess, handler.Calls()[0].processId);
    // Polled about every millisecond, yet each record once.
    ASSERT_TRUE(driver_.WaitForReads(driver_.Counters().reads + 20));
    EXPECT_EQ(1u, handler.Calls().size());
}

// A library folder without the driver: the service cannot start and is deleted again.
TEST(MonitorDllUnload, MissingDriverLeavesNoServiceAndUnloadsCleanly) {
    ASSERT_TRUE(RemoveDriverService());
    const kvtest::ScratchDir folder("execwarden-nodriver");
    const std::string copy = folder / "ExecWarden.dll";
    ASSERT_TRUE(CopyFileA(kvtest::BesideProgram("ExecWarden.dll").c_str(), copy.c_str(), FALSE));
    {
        MonitorLibrary library(copy);
        ASSERT_TRUE(library.loaded());
        EXPECT_TRUE(library.monitor()->Start());
        EXPECT_FALSE(DriverServiceExists());
        EXPECT_LT(library.Free(), 5000u);
    }
    EXPECT_FALSE(DriverServiceExists());
}

// A host that exits with the monitor running: the library does nothing at process exit,
// so the exit cannot hang on its threads or locks.
TEST(MonitorDllUnload, ProcessExitWhileStartedDoesNotHang) {
    ASSERT_TRUE(RemoveDriverService());
    EXPECT_EQ(0u, RunToEnd("\"" + kvtest::BesideProgram("execwarden_shared_peer.exe") +
                           "\" start-and-exit"));
    EXPECT_TRUE(RemoveDriverService());  // left behind on purpose: nothing runs at exit
}

// Threads of this process whose start address lies in [base, base + size).
std::size_t ThreadsStartedIn(const BYTE* base, std::size_t size) {
    using QueryThread = LONG(WINAPI*)(HANDLE, int, void*, ULONG, ULONG*);
    static const auto query =
        ProcAddress<QueryThread>(GetModuleHandleA("ntdll.dll"), "NtQueryInformationThread");
    constexpr int kStartAddress = 9;  // ThreadQuerySetWin32StartAddress
    UniqueFile snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    std::size_t count = 0;
    for (BOOL more = Thread32First(snapshot.get(), &entry); more;
         more = Thread32Next(snapshot.get(), &entry)) {
        if (entry.th32OwnerProcessID != GetCurrentProcessId()) continue;
        UniqueHandle thread(OpenThread(THREAD_QUERY_INFORMATION, FALSE, entry.th32ThreadID));
        const BYTE* start = nullptr;
        if (thread && query(thread.get(), kStartAddress, &start, sizeof start, nullptr) == 0 &&
            start >= base && start < base + size)
            ++count;
    }
    return count;
}

bool ThreadsEnd(const BYTE* base, std::size_t size) {
    for (int i = 0; i < 500; ++i) {
        if (ThreadsStartedIn(base, size) == 0) return true;
        Sleep(10);
    }
    return false;
}

// FreeLibrary while started: prompt, no thread left behind, no service left, and the
// library loads and starts again in the same process.
TEST(MonitorDllUnload, ThreeRoundsOfStartAndFreeLibrary) {
    ASSERT_TRUE(RemoveDriverService());
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        RecordingCallback handler;
        MonitorLibrary library;
        ASSERT_TRUE(library.loaded());
        library.monitor()->AddCallback(&handler);
        ASSERT_TRUE(library.monitor()->Start());
        const auto* base = reinterpret_cast<const BYTE*>(library.module());
        const std::size_t size =
            reinterpret_cast<const IMAGE_NT_HEADERS*>(
                base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew)
                ->OptionalHeader.SizeOfImage;
        EXPECT_EQ(2u, ThreadsStartedIn(base, size)) << "the listener and the worker";
        if (round < 2) {
            DriverDouble driver;
            ASSERT_TRUE(driver.Open());
            ASSERT_TRUE(driver.Report(round + 1, kNoSuchProcess, 1));
            ASSERT_TRUE(handler.WaitForCalls(1));
            if (round == 1) library.monitor()->Stop();  // unloading while paused
        }
        EXPECT_LT(library.Free(), 5000u);
        EXPECT_FALSE(DriverServiceExists());
        EXPECT_EQ(nullptr, GetModuleHandleA("ExecWarden.dll"));
        // The two threads finish exiting once the unload has released the loader lock.
        EXPECT_TRUE(ThreadsEnd(base, size));
    }
    RemoveDriverService();
}

}  // namespace
