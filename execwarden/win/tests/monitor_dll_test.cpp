// The process monitor through ExecWarden.dll as a host uses it, with the real service
// manager and the driver double. Every test loads and frees the library.
#include <windows.h>

#include <tlhelp32.h>

#include <cstring>
#include <functional>
#include <memory>
#include <thread>

#include <gtest/gtest.h>

#include "kernel_services_win.h"
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

constexpr std::uint8_t kNoVerdict = 0xEE;

std::uint8_t SharedVerdict(HMODULE library) {
    SharedSection* shared = FindSharedSection(library);
    return shared != nullptr ? Peek(shared->verdict) : kNoVerdict;
}

// The verdict once the worker has written `expected` (after its handler returned), or what
// the page holds after 10 s.
std::uint8_t WaitForVerdict(HMODULE library, std::uint8_t expected) {
    for (int i = 0; i < 1000 && SharedVerdict(library) != expected; ++i) Sleep(10);
    return SharedVerdict(library);
}

// The service as a test prepares it before the component starts: the driver double from
// beside the library, with one DWORD value in its key for the double to read.
void InstallDriverServiceWith(const char* value, DWORD data) {
    ASSERT_TRUE(kvtest::CreateDriverService(
        "ProcWatcherDriver", kvtest::BesideProgram("ProcWatchDriver.sys"), SERVICE_ERROR_NORMAL));
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE,
                                           "System\\CurrentControlSet\\Services\\ProcWatcherDriver",
                                           0, KEY_SET_VALUE, &key));
    UniqueKey owned(key);
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key, value, 0, REG_DWORD,
                                            reinterpret_cast<const BYTE*>(&data), sizeof data));
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
        // Suspended: no module of it is listed yet, but its image is known.
        PROCESS_INFORMATION idle = StartIdle(true);
        ASSERT_NE(nullptr, idle.hProcess);
        UniqueHandle process(idle.hProcess), thread(idle.hThread);
        FindSharedSection(library_->module())->verdict = kNoVerdict;
        const DWORD reported = GetTickCount();
        ASSERT_TRUE(driver_.Report(sequence++, idle.dwProcessId, 1));
        ASSERT_TRUE(first.WaitForCalls(++firstCalls));
        secondCalls += c.secondCalls;
        if (c.secondCalls > 0) {
            ASSERT_TRUE(second.WaitForCalls(secondCalls));
        }
        EXPECT_EQ(c.exitCode, ExitCodeWithin(process.get(), c.exitCode == 0 ? 10000 : 0));
        if (c.exitCode == STILL_ACTIVE) {
            ResumeThread(thread.get());
            HMODULE main = MainModuleOf(process.get());
            for (RecordingCallback* handler : {&first, &second}) {
                ExecuteCall call = handler->Calls().back();
                EXPECT_LT(call.tick - reported, 900u) << "retried for a process just created";
                EXPECT_EQ(idlePath, call.file);
                EXPECT_EQ(main, call.module);
                EXPECT_EQ(idle.dwProcessId, call.processId);
                EXPECT_EQ("", call.verb + call.parameters + call.directory);
            }
            TerminateProcess(process.get(), 1);
        }
        const std::uint8_t verdict = c.secondCalls > 0 ? c.second : c.first;
        EXPECT_EQ(verdict, WaitForVerdict(library_->module(), verdict));
    }
    EXPECT_EQ(secondCalls, second.Calls().size());
}

// A process that has exited (its id still held) has no module to read: "" and 0, after
// about a second of retries, for each handler; it is looked up once for all of them.
TEST_F(MonitorDllTest, ExitedProcessGivesEmptyPathToEachHandlerAfterOneRoundOfRetries) {
    RecordingCallback first(1), second(1);
    monitor_->AddCallback(&first);
    monitor_->AddCallback(&second);
    StartMonitor();
    PROCESS_INFORMATION exited = StartIdle(false);
    ASSERT_NE(nullptr, exited.hProcess);
    UniqueHandle process(exited.hProcess), thread(exited.hThread);
    TerminateProcess(process.get(), 1);
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(process.get(), 10000));
    const DWORD reported = GetTickCount();
    ASSERT_TRUE(driver_.Report(1, exited.dwProcessId, 1));
    ASSERT_TRUE(second.WaitForCalls(1));
    const ExecuteCall a = first.Calls().at(0), b = second.Calls().at(0);
    for (const ExecuteCall& call : {a, b}) {
        EXPECT_EQ("", call.file);
        EXPECT_EQ(nullptr, call.module);
    }
    EXPECT_GE(a.tick - reported, 900u);  // 52 tries 20 ms apart
    EXPECT_LT(b.tick - a.tick, 900u) << "looked up again for the second handler";
}

TEST_F(MonitorDllTest, WithoutHandlersRecordsAreConsumedAndNothingEnds) {
    StartMonitor();
    PROCESS_INFORMATION idle = StartIdle(false);
    ASSERT_NE(nullptr, idle.hProcess);
    UniqueHandle process(idle.hProcess), thread(idle.hThread);
    const unsigned long reads = driver_.Counters().reads;
    ASSERT_TRUE(driver_.Report(1, idle.dwProcessId, 1));
    ASSERT_TRUE(driver_.WaitForReads(reads + 1));
    // Time for the worker to take the record it has no handler for.
    EXPECT_EQ(STILL_ACTIVE, ExitCodeWithin(process.get(), 1000));
    // A handler added late gets what comes next and nothing before: the worker went on
    // past the record that no one was asked about.
    RecordingCallback late(1);
    monitor_->AddCallback(&late);
    ASSERT_TRUE(driver_.Report(2, kNoSuchProcess, 1));
    EXPECT_TRUE(late.WaitForProcess(kNoSuchProcess));
    EXPECT_EQ(1u, late.Calls().size()) << "asked about the record before it was added";
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
    // Read only when the driver signals: nothing while it has nothing new.
    const unsigned long settled = driver_.Counters().reads;
    Sleep(200);
    EXPECT_EQ(settled, driver_.Counters().reads) << "the driver's event is not waited on";
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

DWORD WINAPI NoWork(void*) {
    return 0;
}

// Wine hands freed ids out again oldest first (once enough are free): cycles thread ids
// until `id` comes round, then until the id before it comes round again, so that `id` is
// the next one given out. False when `id` does not come round: it is not free.
bool MakeIdNext(DWORD id) {
    auto cycle = [] {
        DWORD got = 0;
        UniqueHandle thread(CreateThread(nullptr, 0, NoWork, nullptr, 0, &got));
        WaitForSingleObject(thread.get(), INFINITE);
        return got;
    };
    DWORD before = 0, got = 0;
    for (int i = 0; i < 3000 && (got = cycle()) != id; ++i) before = got;
    for (int i = 0; got == id && i < 3000; ++i)
        if (cycle() == before) return true;
    return false;
}

// While the handler decides, the process it was asked about ends and a new process is
// started, on the same id if that id is free: the block must not end the new process.
TEST_F(MonitorDllTest, BlockEndsTheProcessAskedAboutNeverANewOwnerOfItsId) {
    UniqueHandle decided(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    RecordingCallback handler(0, decided.get());
    monitor_->AddCallback(&handler);
    StartMonitor();
    PROCESS_INFORMATION asked = StartIdle(false);
    ASSERT_NE(nullptr, asked.hProcess);
    ASSERT_TRUE(driver_.Report(1, asked.dwProcessId, 1));
    ASSERT_TRUE(handler.WaitForCalls(1));
    TerminateProcess(asked.hProcess, 1);
    WaitForSingleObject(asked.hProcess, 10000);
    CloseHandle(asked.hProcess);
    CloseHandle(asked.hThread);
    MakeIdNext(asked.dwProcessId);
    PROCESS_INFORMATION next = StartIdle(false);
    ASSERT_NE(nullptr, next.hProcess);
    UniqueHandle process(next.hProcess), thread(next.hThread);
    EXPECT_NE(asked.dwProcessId, next.dwProcessId) << "the id was free while being decided on";
    SetEvent(decided.get());
    // The next record is taken once the block has been carried out.
    ASSERT_TRUE(driver_.Report(2, kNoSuchProcess, 1));
    ASSERT_TRUE(handler.WaitForCalls(2));
    EXPECT_EQ(STILL_ACTIVE, ExitCodeWithin(process.get(), 0));
    TerminateProcess(process.get(), 1);
}

// Runs `call` on a thread of its own; true when it returned within `ms`. One that did not
// is let go by `unblock`, so that the test itself never hangs.
bool ReturnsWithin(DWORD ms, const std::function<void()>& call,
                   const std::function<void()>& unblock) {
    UniqueHandle done(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    std::thread host([&] {
        call();
        SetEvent(done.get());
    });
    const bool returned = WaitForSingleObject(done.get(), ms) == WAIT_OBJECT_0;
    if (!returned) unblock();
    host.join();
    return returned;
}

// A driver that keeps the start of reporting or a read pending holds up no call of the host
// past its bound (the first Start: 10 s, Stop: none) nor the unload; the record that the
// read brings once answered is still handled.
TEST_F(MonitorDllTest, DriverKeepingRequestsPendingHoldsUpNoHostCall) {
    RecordingCallback handler;
    monitor_->AddCallback(&handler);
    InstallDriverServiceWith("HoldStart", 1);
    auto release = [this] {
        driver_.Open();
        driver_.HoldReads(false);
    };
    auto oneHeld = [this] {
        for (int i = 0; i < 1000 && driver_.Counters().held == 0; ++i) Sleep(10);
        return driver_.Counters().held == 1;
    };
    EXPECT_TRUE(ReturnsWithin(
        15000, [this] { monitor_->Start(); }, release))
        << "Start waited";
    ASSERT_TRUE(driver_.Open());
    EXPECT_TRUE(oneHeld());  // the start of reporting
    ASSERT_TRUE(driver_.HoldReads(false));
    ASSERT_TRUE(driver_.HoldReads(true));
    ASSERT_TRUE(driver_.Report(1, kNoSuchProcess, 1));
    ASSERT_TRUE(oneHeld());
    EXPECT_TRUE(ReturnsWithin(
        5000, [this] { monitor_->Stop(); }, release))
        << "Stop waited";
    ASSERT_TRUE(driver_.HoldReads(false));
    ASSERT_TRUE(handler.WaitForCalls(1));
    EXPECT_TRUE(monitor_->Start());
    ASSERT_TRUE(driver_.HoldReads(true));
    ASSERT_TRUE(driver_.Report(2, kNoSuchProcess, 1));
    ASSERT_TRUE(oneHeld());
    EXPECT_LT(library_->Free(), 5000u);  // the unload cancels the held read
}

// The service exists already, and its driver offers no event: the component polls.
TEST_F(MonitorDllTest, ExistingServiceWithoutEventIsPolled) {
    InstallDriverServiceWith("NoEvent", 1);
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

// FreeLibrary while started, whatever the threads are doing: prompt (but for a handler that
// does not return: ended by force after the grace, and gone before FreeLibrary returns), no
// thread, service or module left behind, no code of the library run afterwards; and the
// library loads and starts again in the same process. (A lookup still retrying gives up.)
TEST(MonitorDllUnload, FreeLibraryWhateverTheThreadsAreDoing) {
    enum Doing { kWaiting, kHandled, kPaused, kInHandler, kInRetries };
    const struct {
        const char* what;
        Doing doing;
        DWORD unloadAtMostMs;
    } cases[] = {{"waiting", kWaiting, 5000},
                 {"after a record", kHandled, 5000},
                 {"paused", kPaused, 5000},
                 {"in a handler that does not return", kInHandler, 45000},
                 {"in the lookup's retries", kInRetries, 5000}};
    ASSERT_TRUE(RemoveDriverService());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        UniqueHandle release(CreateEventA(nullptr, TRUE, FALSE, nullptr));
        RecordingCallback handler(1, c.doing == kInHandler ? release.get() : nullptr);
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
        DriverDouble driver;
        ASSERT_TRUE(driver.Open());
        if (c.doing == kInRetries) {
            // An exited process whose id this test still holds: no module can be read.
            PROCESS_INFORMATION exited = StartIdle(false);
            UniqueHandle process(exited.hProcess), thread(exited.hThread);
            TerminateProcess(process.get(), 1);
            ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(process.get(), 10000));
            const unsigned long reads = driver.Counters().reads;
            ASSERT_TRUE(driver.Report(1, exited.dwProcessId, 1));
            ASSERT_TRUE(driver.WaitForReads(reads + 1));
            Sleep(300);  // into the second of retries
        } else if (c.doing != kWaiting) {
            ASSERT_TRUE(driver.Report(1, kNoSuchProcess, 1));
            ASSERT_TRUE(handler.WaitForCalls(1));
            if (c.doing == kPaused) library.monitor()->Stop();
        }
        UniqueHandle worker(c.doing == kInHandler
                                ? OpenThread(SYNCHRONIZE, FALSE, handler.Calls()[0].thread)
                                : nullptr);
        EXPECT_LT(library.Free(), c.unloadAtMostMs);
        EXPECT_FALSE(DriverServiceExists());
        EXPECT_EQ(nullptr, GetModuleHandleA("ExecWarden.dll"));
        if (worker) {
            EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(worker.get(), 0));
        }
        // Parked threads finish exiting once the unload has released the loader lock.
        EXPECT_TRUE(ThreadsEnd(base, size));
        // A handler returning into the unloaded library would crash this host.
        SetEvent(release.get());
        Sleep(200);
        EXPECT_EQ(c.doing == kWaiting || c.doing == kInRetries ? 0u : 1u, handler.Calls().size());
    }
    RemoveDriverService();
}

}  // namespace
