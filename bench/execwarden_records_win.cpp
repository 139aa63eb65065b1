// How fast process records travel from the driver to a handler of ExecWarden.dll, under
// Wine with the driver double:
//
//   execwarden_records queue [N]    N records waiting in the driver (reported while the
//                                   monitor was stopped), then Start: records/s through the
//                                   handler and how many got lost
//   execwarden_records burst [N]    N records reported as fast as possible while the monitor
//                                   runs, the driver keeping every one: records/s, losses,
//                                   latency from report to OnExecute within the burst
//   execwarden_records latest [N]   the same burst from a driver that keeps only its latest
//                                   record: how many reach the handler
//   execwarden_records latency [N]  N records one at a time: report to OnExecute latency
//   execwarden_records raw [N]      no library: this program reads the N records back from
//                                   the driver itself (the driver's own cost, a yardstick)
//
// Every record names a running helper process, so each one costs a real image lookup; with
// NOPROCESS=1 in the environment the records name no process (the lookup fails at once),
// which leaves the cost of the driver, the listener, the queue and the worker.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
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

// Arrival times of the handler calls, in call order.
class TimingCallback : public IExecuteCallback {
public:
    unsigned char OnExecute(const char*, const char* file, const char*, const char*, DWORD,
                            HMODULE) override {
        double now = Now();
        std::lock_guard<std::mutex> lock(mutex_);
        arrivals_.push_back(now);
        if (file[0] == '\0') ++emptyPaths_;
        return 1;
    }
    std::size_t count() {
        std::lock_guard<std::mutex> lock(mutex_);
        return arrivals_.size();
    }
    std::vector<double> arrivals() {
        std::lock_guard<std::mutex> lock(mutex_);
        return arrivals_;
    }
    std::size_t emptyPaths() {
        std::lock_guard<std::mutex> lock(mutex_);
        return emptyPaths_;
    }

private:
    std::mutex mutex_;
    std::vector<double> arrivals_;
    std::size_t emptyPaths_ = 0;
};

// Waits until `count` calls arrived or none came for `quietMs`.
void WaitForArrivals(TimingCallback& handler, std::size_t count, DWORD quietMs) {
    std::size_t seen = handler.count();
    DWORD lastChange = GetTickCount();
    while (seen < count && GetTickCount() - lastChange < quietMs) {
        Sleep(1);
        std::size_t now = handler.count();
        if (now != seen) {
            seen = now;
            lastChange = GetTickCount();
        }
    }
}

double Percentile(std::vector<double> values, double p) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    return values[static_cast<std::size_t>(p * static_cast<double>(values.size() - 1))];
}

void PrintLatencies(const char* what, const std::vector<double>& latencies) {
    std::printf("%s latency ms: median %.3f  p90 %.3f  max %.3f  (%zu records)\n", what,
                1000 * Percentile(latencies, 0.5), 1000 * Percentile(latencies, 0.9),
                1000 * Percentile(latencies, 1.0), latencies.size());
}

int Burst(bool queue, DWORD processId, int count) {
    MonitorLibrary library;
    TimingCallback handler;
    if (!library.loaded() || !library.monitor()->AddCallback(&handler) ||
        !library.monitor()->Start())
        return 2;
    DriverDouble driver;
    if (!driver.Open() || !driver.SetQueueMode(queue)) return 2;
    std::vector<double> reported(count);
    double start = Now();
    for (int i = 0; i < count; ++i) {
        reported[i] = Now();
        if (!driver.Report(i + 1, processId, 1)) return 3;
    }
    double reportedAll = Now();
    WaitForArrivals(handler, count, queue ? 10000 : 1000);
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

int Drain(DWORD processId, int count) {
    MonitorLibrary library;
    TimingCallback handler;
    if (!library.loaded() || !library.monitor()->AddCallback(&handler) ||
        !library.monitor()->Start() || !library.monitor()->Stop())
        return 2;
    DriverDouble driver;
    if (!driver.Open() || !driver.SetQueueMode(true)) return 2;
    for (int i = 0; i < count; ++i)
        if (!driver.Report(i + 1, processId, 1)) return 3;
    double start = Now();
    library.monitor()->Start();
    WaitForArrivals(handler, count, 10000);
    std::vector<double> arrivals = handler.arrivals();
    double end = arrivals.empty() ? Now() : arrivals.back();
    std::printf(
        "queue: %d waiting, %zu reached the handler (%zu lost) in %.3f s: "
        "%.0f records/s; empty paths %zu\n",
        count, arrivals.size(), count - arrivals.size(), end - start,
        arrivals.size() / (end - start), handler.emptyPaths());
    return arrivals.size() == static_cast<std::size_t>(count) ? 0 : 1;
}

int OneAtATime(DWORD processId, int count) {
    MonitorLibrary library;
    TimingCallback handler;
    if (!library.loaded() || !library.monitor()->AddCallback(&handler) ||
        !library.monitor()->Start())
        return 2;
    DriverDouble driver;
    if (!driver.Open()) return 2;
    std::vector<double> latencies;
    for (int i = 0; i < count; ++i) {
        double reported = Now();
        if (!driver.Report(i + 1, processId, 1)) return 3;
        WaitForArrivals(handler, i + 1, 5000);
        std::vector<double> arrivals = handler.arrivals();
        if (arrivals.size() != static_cast<std::size_t>(i + 1)) return 1;
        latencies.push_back(arrivals.back() - reported);
    }
    PrintLatencies("single", latencies);
    return 0;
}

// The driver traffic alone: report every record, then read each back as the listener does.
int Raw(DWORD processId, int count) {
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
    double start = Now();
    for (int i = 0; i < count; ++i)
        if (!driver.Report(i + 1, processId, 1)) return 3;
    int read = 0;
    for (int i = 0; i < count; ++i) {
        unsigned char record[12];
        OVERLAPPED overlapped{};
        overlapped.hEvent = done.get();
        ResetEvent(done.get());
        DWORD written = 0;
        if (!DeviceIoControl(device.get(), 0x8000200C, nullptr, 0, record, sizeof record, nullptr,
                             &overlapped) &&
            GetLastError() != ERROR_IO_PENDING)
            break;
        if (GetOverlappedResult(device.get(), &overlapped, &written, TRUE) && written == 12) ++read;
    }
    double end = Now();
    std::printf("raw: %d reported and %d read back in %.3f s: %.0f records/s\n", count, read,
                end - start, read / (end - start));
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "queue";
    const int count = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5000;
    if (!RemoveDriverService()) {
        std::fprintf(stderr, "cannot clear the driver service\n");
        return 2;
    }
    PROCESS_INFORMATION helper = StartIdle(false);
    if (helper.hProcess == nullptr) return 2;
    MainModuleOf(helper.hProcess);  // the helper's modules are listed before the first record
    if (std::getenv("NOPROCESS") != nullptr) helper.dwProcessId = 0x7FFF0001;
    int result = 2;
    if (mode == "queue")
        result = Drain(helper.dwProcessId, count);
    else if (mode == "burst" || mode == "latest")
        result = Burst(mode == "burst", helper.dwProcessId, count);
    else if (mode == "latency")
        result = OneAtATime(helper.dwProcessId, count);
    else if (mode == "raw")
        result = Raw(helper.dwProcessId, count);
    else
        std::fprintf(stderr, "usage: execwarden_records queue|burst|latest|latency|raw [N]\n");
    TerminateProcess(helper.hProcess, 0);
    CloseHandle(helper.hProcess);
    CloseHandle(helper.hThread);
    RemoveDriverService();
    return result;
}
