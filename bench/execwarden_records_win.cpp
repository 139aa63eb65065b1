// How fast process records travel from the driver to a handler of ExecWarden.dll, under
// Wine with the driver double:
//
//   execwarden_records queue [N]    N records waiting in the driver (reported while the
//                                   monitor was stopped), then Start: records/s through the
//                                   handler and how many got lost
//   execwarden_records rate [N] [R] N records offered at R a second (default 3000) while the
//                                   monitor runs, the driver keeping every one: records/s,
//                                   losses, latency from report to OnExecute
//   execwarden_records burst [N]    N records reported as fast as possible while the monitor
//                                   runs, the driver keeping every one: records/s, losses,
//                                   latency from report to OnExecute within the burst
//   execwarden_records latest [N]   the same burst from a driver that keeps only its latest
//                                   record: how many reach the handler
//   execwarden_records latency [N]  N records one at a time: report to OnExecute latency
//   execwarden_records raw [N]      no library: this program does each step itself, N times
//                                   (the driver's report and read, each call of the image
//                                   lookup): where a record's time goes
//
// Every record names one of eight running helper processes, in turn, so each one costs a
// real image lookup; with NOPROCESS=1 in the environment the records name no process (the
// lookup fails at once), which leaves the cost of the driver, the listener, the queue and
// the worker.
#include <windows.h>

#include <psapi.h>
#include <winternl.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "monitor_host.h"

namespace {

double Now() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// Arrival times of the handler calls, in call order. It takes no lock and polls nothing,
// so that it adds no system calls of its own to what is measured.
class TimingCallback : public IExecuteCallback {
public:
    // With `signalEach`, every call also sets the auto-reset event each().
    explicit TimingCallback(int expected, bool signalEach = false)
        : arrivals_(static_cast<std::size_t>(expected)),
          all_(CreateEventA(nullptr, TRUE, FALSE, nullptr)),
          each_(signalEach ? CreateEventA(nullptr, FALSE, FALSE, nullptr) : nullptr) {}
    unsigned char OnExecute(const char*, const char* file, const char*, const char*, DWORD,
                            HMODULE) override {
        const double now = Now();
        const std::size_t index = count_.load(std::memory_order_relaxed);
        if (index < arrivals_.size()) arrivals_[index] = now;
        if (file[0] == '\0') ++emptyPaths_;
        // Calls come one at a time, from the worker only.
        count_.store(index + 1, std::memory_order_release);
        if (index + 1 == arrivals_.size()) SetEvent(all_.get());
        if (each_) SetEvent(each_.get());
        return 1;
    }
    std::size_t count() const {
        return std::min(count_.load(std::memory_order_acquire), arrivals_.size());
    }
    std::vector<double> arrivals() const {
        return std::vector<double>(arrivals_.begin(), arrivals_.begin() + count());
    }
    std::size_t emptyPaths() const { return emptyPaths_; }
    HANDLE all() const { return all_.get(); }
    HANDLE each() const { return each_.get(); }

private:
    std::vector<double> arrivals_;
    std::atomic<std::size_t> count_{0};
    std::atomic<std::size_t> emptyPaths_{0};
    UniqueHandle all_;
    UniqueHandle each_;
};

// Waits until every expected call arrived, or none came for `quietMs`.
void WaitForArrivals(TimingCallback& handler, DWORD quietMs) {
    std::size_t seen = handler.count();
    DWORD lastChange = GetTickCount();
    while (WaitForSingleObject(handler.all(), 100) == WAIT_TIMEOUT &&
           GetTickCount() - lastChange < quietMs) {
        const std::size_t now = handler.count();
        if (now != seen) {
            seen = now;
            lastChange = GetTickCount();
        }
    }
}

// The processes the records name, in turn.
class Helpers {
public:
    explicit Helpers(bool none) : none_(none) {
        for (int i = 0; i < 8; ++i) {
            PROCESS_INFORMATION helper = StartIdle(false);
            if (helper.hProcess == nullptr) continue;
            MainModuleOf(helper.hProcess);  // its modules are listed before the first record
            processes_.push_back(helper);
        }
    }
    ~Helpers() {
        for (PROCESS_INFORMATION& helper : processes_) {
            TerminateProcess(helper.hProcess, 0);
            CloseHandle(helper.hProcess);
            CloseHandle(helper.hThread);
        }
    }
    bool ready() const { return processes_.size() == 8; }
    DWORD Id(int record) const {
        return none_ ? 0x7FFF0001 : processes_[record % processes_.size()].dwProcessId;
    }

private:
    bool none_;
    std::vector<PROCESS_INFORMATION> processes_;
};

double Percentile(std::vector<double> values, double p) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    return values[static_cast<std::size_t>(p * static_cast<double>(values.size() - 1))];
}

void PrintLatencies(const char* what, const std::vector<double>& latencies) {
    std::printf("%s latency ms: median %.3f  p99 %.3f  max %.3f  (%zu records)\n", what,
                1000 * Percentile(latencies, 0.5), 1000 * Percentile(latencies, 0.99),
                1000 * Percentile(latencies, 1.0), latencies.size());
}

int Burst(bool queue, const Helpers& helpers, int count) {
    MonitorLibrary library;
    TimingCallback handler(count);
    if (!library.loaded() || !library.monitor()->AddCallback(&handler) ||
        !library.monitor()->Start())
        return 2;
    DriverDouble driver;
    if (!driver.Open() || !driver.SetQueueMode(queue)) return 2;
    std::vector<double> reported(count);
    double start = Now();
    for (int i = 0; i < count; ++i) {
        reported[i] = Now();
        if (!driver.Report(i + 1, helpers.Id(i), 1)) return 3;
    }
    double reportedAll = Now();
    WaitForArrivals(handler, queue ? 10000 : 1000);
    std::vector<double> arrivals = handler.arrivals();
    double end = arrivals.empty() ? Now() : arrivals.back();
    std::printf(
        "%s: %d reported in %.3f s, %zu reached the handler (%zu lost) in %.3f s: "
        "%.0f records/s; empty paths %zu\n",
        queue ? "burst" : "latest only", count, reportedAll - start, arrivals.size(),
        count - arrivals.size(), end - start, arrivals.size() / (end - start),
        handler.emptyPaths());
    if (queue && arrivals.size() == static_cast<std::size_t>(count)) {
        std::vector<double> latencies(count);
        for (int i = 0; i < count; ++i) latencies[i] = arrivals[i] - reported[i];
        PrintLatencies("burst", latencies);
    }
    return queue && arrivals.size() != static_cast<std::size_t>(count) ? 1 : 0;
}

int Drain(const Helpers& helpers, int count) {
    MonitorLibrary library;
    TimingCallback handler(count);
    if (!library.loaded() || !library.monitor()->AddCallback(&handler) ||
        !library.monitor()->Start() || !library.monitor()->Stop())
        return 2;
    DriverDouble driver;
    if (!driver.Open() || !driver.SetQueueMode(true)) return 2;
    for (int i = 0; i < count; ++i)
        if (!driver.Report(i + 1, helpers.Id(i), 1)) return 3;
    double start = Now();
    library.monitor()->Start();
    WaitForArrivals(handler, 10000);
    std::vector<double> arrivals = handler.arrivals();
    double end = arrivals.empty() ? Now() : arrivals.back();
    std::printf(
        "queue: %d waiting, %zu reached the handler (%zu lost) in %.3f s: "
        "%.0f records/s; empty paths %zu\n",
        count, arrivals.size(), count - arrivals.size(), end - start,
        arrivals.size() / (end - start), handler.emptyPaths());
    return arrivals.size() == static_cast<std::size_t>(count) ? 0 : 1;
}

// Offers `count` records at `perSecond` while the monitor runs: every millisecond or so,
// the records that are due (spinning between reports would take a processor from what is
// measured).
int Paced(const Helpers& helpers, int count, int perSecond) {
    MonitorLibrary library;
    TimingCallback handler(count);
    if (!library.loaded() || !library.monitor()->AddCallback(&handler) ||
        !library.monitor()->Start())
        return 2;
    DriverDouble driver;
    if (!driver.Open() || !driver.SetQueueMode(true)) return 2;
    std::vector<double> reported(count);
    const double start = Now();
    for (int i = 0; i < count;) {
        for (; i < count && Now() >= start + static_cast<double>(i) / perSecond; ++i) {
            reported[i] = Now();
            if (!driver.Report(i + 1, helpers.Id(i), 1)) return 3;
        }
        Sleep(1);
    }
    const double reportedAll = Now();
    WaitForArrivals(handler, 10000);
    std::vector<double> arrivals = handler.arrivals();
    const double end = arrivals.empty() ? Now() : arrivals.back();
    std::printf(
        "rate: %d offered at %d/s (%.0f/s achieved), %zu reached the handler (%zu lost) in "
        "%.3f s: %.0f records/s; empty paths %zu\n",
        count, perSecond, count / (reportedAll - start), arrivals.size(), count - arrivals.size(),
        end - start, arrivals.size() / (end - start), handler.emptyPaths());
    if (arrivals.size() != static_cast<std::size_t>(count)) return 1;
    std::vector<double> latencies(count);
    for (int i = 0; i < count; ++i) latencies[i] = arrivals[i] - reported[i];
    PrintLatencies("rate", latencies);
    return 0;
}

int OneAtATime(const Helpers& helpers, int count) {
    MonitorLibrary library;
    TimingCallback handler(count, true);
    if (!library.loaded() || !library.monitor()->AddCallback(&handler) ||
        !library.monitor()->Start())
        return 2;
    DriverDouble driver;
    if (!driver.Open()) return 2;
    std::vector<double> latencies;
    for (int i = 0; i < count; ++i) {
        double reported = Now();
        if (!driver.Report(i + 1, helpers.Id(i), 1)) return 3;
        WaitForSingleObject(handler.each(), 5000);
        std::vector<double> arrivals = handler.arrivals();
        if (arrivals.size() != static_cast<std::size_t>(i + 1)) return 1;
        latencies.push_back(arrivals.back() - reported);
    }
    PrintLatencies("single", latencies);
    return 0;
}

// Microseconds per call of `step`, over `count` calls.
template <class Step>
double Cost(int count, Step step) {
    const double start = Now();
    for (int i = 0; i < count; ++i) step(i);
    return 1e6 * (Now() - start) / count;
}

// Each step of a record alone: the driver's report and read (the listener's overlapped
// request), and each call the worker makes for the image lookup, against a helper.
int Raw(const Helpers& helpers, int count) {
    // The service is set up by the library; its Start is the only way this tree has.
    MonitorLibrary library;
    if (!library.loaded() || !library.monitor()->Start()) return 2;
    library.monitor()->Stop();  // the library reads nothing from here on
    DriverDouble driver;
    if (!driver.Open() || !driver.SetQueueMode(true)) return 2;
    UniqueFile device(CreateFileA("\\\\.\\ProcWatchDriver", GENERIC_READ | GENERIC_WRITE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_OVERLAPPED, nullptr));
    UniqueHandle done(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    int read = 0;
    const double report = Cost(count, [&](int i) { driver.Report(i + 1, helpers.Id(i), 1); });
    const double readBack = Cost(count, [&](int) {
        unsigned char record[12];
        OVERLAPPED overlapped{};
        overlapped.hEvent = done.get();
        DWORD written = 0;
        if (!DeviceIoControl(device.get(), 0x8000200C, nullptr, 0, record, sizeof record, nullptr,
                             &overlapped) &&
            GetLastError() != ERROR_IO_PENDING)
            return;
        if (GetOverlappedResult(device.get(), &overlapped, &written, TRUE) && written == 12) ++read;
    });
    std::printf("driver: report %.1f us, read %.1f us (%d of %d read back)\n", report, readBack,
                read, count);

    const DWORD id = helpers.Id(0);
    const DWORD access = PROCESS_QUERY_INFORMATION | PROCESS_VM_READ | PROCESS_TERMINATE;
    UniqueHandle process(OpenProcess(access, FALSE, id));
    using QueryProcessFn = NTSTATUS(NTAPI*)(HANDLE, PROCESSINFOCLASS, PVOID, ULONG, PULONG);
    const auto query =
        ProcAddress<QueryProcessFn>(GetModuleHandleA("ntdll.dll"), "NtQueryInformationProcess");
    PROCESS_BASIC_INFORMATION basic{};
    query(process.get(), ProcessBasicInformation, &basic, sizeof basic, nullptr);
    char path[MAX_PATH];
    void* base = nullptr;
    HMODULE modules[1024];
    DWORD needed = 0;
    std::printf(
        "lookup: open+close %.1f us, image name %.1f us, basic information %.1f us, "
        "image base read %.1f us; module walk (enumeration and first name) %.1f us\n",
        Cost(count, [&](int) { CloseHandle(OpenProcess(access, FALSE, id)); }),
        Cost(count,
             [&](int) {
                 DWORD length = sizeof path;
                 QueryFullProcessImageNameA(process.get(), 0, path, &length);
             }),
        Cost(count,
             [&](int) {
                 query(process.get(), ProcessBasicInformation, &basic, sizeof basic, nullptr);
             }),
        Cost(count,
             [&](int) {
                 // The image base, two pointers into the environment block.
                 const char* block = reinterpret_cast<const char*>(basic.PebBaseAddress);
                 ReadProcessMemory(process.get(), block + 2 * sizeof(void*), &base, sizeof base,
                                   nullptr);
             }),
        Cost(std::max(1, count / 10), [&](int) {
            EnumProcessModules(process.get(), modules, sizeof modules, &needed);
            GetModuleFileNameExA(process.get(), modules[0], path, sizeof path);
        }));
    UniqueHandle event(CreateEventA(nullptr, FALSE, FALSE, nullptr));
    std::printf("hand-off: set and wait on an event %.1f us\n", Cost(count, [&](int) {
                    SetEvent(event.get());
                    WaitForSingleObject(event.get(), INFINITE);
                }));
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "queue";
    const int count = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5000;
    const int perSecond = argc > 3 ? std::max(1, std::atoi(argv[3])) : 3000;
    if (!RemoveDriverService()) {
        std::fprintf(stderr, "cannot clear the driver service\n");
        return 2;
    }
    int result = 2;
    {
        const Helpers helpers(std::getenv("NOPROCESS") != nullptr);
        if (!helpers.ready()) return 2;
        if (mode == "queue")
            result = Drain(helpers, count);
        else if (mode == "rate")
            result = Paced(helpers, count, perSecond);
        else if (mode == "burst" || mode == "latest")
            result = Burst(mode == "burst", helpers, count);
        else if (mode == "latency")
            result = OneAtATime(helpers, count);
        else if (mode == "raw")
            result = Raw(helpers, count);
        else
            std::fprintf(stderr,
                         "usage: execwarden_records queue|rate|burst|latest|latency|raw [N] [R]\n");
    }
    RemoveDriverService();
    return result;
}
