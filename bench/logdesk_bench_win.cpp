// How long LogDesk.exe makes a user wait on a big scan log, under Wine:
//   logdesk_bench.exe [LINES] [RUNS]     (defaults 100000 and 5)
// For each run: program start until the scan list shows every row it holds, one Refresh,
// one header click that sorts by file name (each with the list painted); then the
// program's peak working set and peak committed memory. Prints each run and the medians.
// A log past the viewer's caps (2000000 lines is) shows only its newest rows, after a
// message that the bench answers at once; the times then include that answer.
#include <windows.h>

#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "logdesk_session.h"
#include "row_table.h"
#include "whole_file_win.h"
#include "windriver.h"

namespace {

constexpr int kScanList = 1003;
constexpr int kRefresh = 1005;

double Seconds(LARGE_INTEGER from, LARGE_INTEGER to) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(to.QuadPart - from.QuadPart) / frequency.QuadPart;
}

LARGE_INTEGER Now() {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now;
}

// A scan log of `lines` findings with file names in no particular order.
std::string ScanLog(int lines) {
    std::string log;
    log.reserve(static_cast<size_t>(lines) * 110);
    unsigned seed = 12345;
    char line[256];
    for (int i = 0; i < lines; ++i) {
        seed = seed * 1103515245u + 12345u;
        snprintf(line, sizeof line,
                 "2008-01-%02d %02d:%02d:%02d\tC:\\Documents and Settings\\user%d\\Temp\\f%08x.exe"
                 "\tfound\tTrojan.Agent.%u\tDeleted\r\n",
                 1 + i % 28, i / 3600 % 24, i / 60 % 60, i % 60, i % 7, seed, seed % 977);
        log += line;
    }
    return log;
}

// Rows the viewer holds of `log`: its newest whole lines within the caps.
int RowsHeld(const std::string& log) {
    const LogPart part = NewestPart(log, false, kLargestLogBytes, kLargestLogLines);
    return static_cast<int>(std::count(part.text.begin(), part.text.end(), '\n'));
}

// Answers the message about a log past the caps, if the program shows one.
void AnswerCapMessage(DWORD pid) {
    if (HWND box = windriver::FindMessageBox(pid)) windriver::Answer(box, IDOK);
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    const int lines = argc > 1 ? atoi(argv[1]) : 100000;
    const int runs = argc > 2 ? atoi(argv[2]) : 5;
    SuiteFolder suite;
    if (!suite.ready() || lines <= 0 || runs <= 0) {
        fprintf(stderr, "cannot set up the suite folder\n");
        return 2;
    }
    suite.WriteRoster();
    const std::string log = ScanLog(lines);
    kvtest::WriteWholeFile(suite.Dir("Bulwark") + "\\SifterLog.txt", log);
    const int held = RowsHeld(log);
    printf("scan log: %d lines, %zu bytes; rows held %d\n", lines, log.size(), held);

    std::vector<double> starts, refreshes, sorts, peaks, committed;
    for (int run = 0; run < runs; ++run) {
        LogDeskProcess process;
        const LARGE_INTEGER started = Now();
        if (!process.Start(suite.Program(), suite.Dir("Program"))) return 2;
        HWND dialog = nullptr, list = nullptr;
        // Poll tightly: the figure is the wait a user sees.
        const bool filled = windriver::WaitFor(
            [&] {
                dialog = windriver::FindDialog(process.Pid(), 1000);
                list = dialog != nullptr ? GetDlgItem(dialog, kScanList) : nullptr;
                if (held != lines) AnswerCapMessage(process.Pid());
                return list != nullptr && windriver::RowCount(list) == held;
            },
            60000);
        // Each figure includes the painting of the list.
        if (list != nullptr) UpdateWindow(list);
        const LARGE_INTEGER shown = Now();
        if (!filled) {
            fprintf(stderr, "the list never showed %d rows\n", held);
            return 1;
        }
        // Sent from another thread: a log past the caps brings the message again, answered
        // here while the Refresh waits for it.
        std::thread refresh([dialog] {
            SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(kRefresh, BN_CLICKED),
                         reinterpret_cast<LPARAM>(GetDlgItem(dialog, kRefresh)));
        });
        if (held != lines) {
            windriver::WaitFor([&] { return windriver::FindMessageBox(process.Pid()) != nullptr; },
                               60000);
            AnswerCapMessage(process.Pid());
        }
        refresh.join();
        UpdateWindow(list);
        const LARGE_INTEGER refreshed = Now();
        windriver::ClickHeader(list, 2);
        UpdateWindow(list);
        const LARGE_INTEGER sorted = Now();
        if (windriver::RowCount(list) != held ||
            (lines > 1 && windriver::Cell(list, 0, 2) > windriver::Cell(list, 1, 2))) {
            fprintf(stderr, "the list is not sorted after the click\n");
            return 1;
        }

        PROCESS_MEMORY_COUNTERS memory = {};
        memory.cb = sizeof memory;
        HANDLE handle =
            OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, process.Pid());
        GetProcessMemoryInfo(handle, &memory, sizeof memory);
        CloseHandle(handle);

        starts.push_back(Seconds(started, shown));
        refreshes.push_back(Seconds(shown, refreshed));
        sorts.push_back(Seconds(refreshed, sorted));
        peaks.push_back(memory.PeakWorkingSetSize / 1048576.0);
        committed.push_back(memory.PeakPagefileUsage / 1048576.0);
        printf(
            "run %d: start to filled list %.3f s, refresh %.3f s, sort %.3f s, peak working set "
            "%.1f MB, peak committed %.1f MB\n",
            run + 1, starts.back(), refreshes.back(), sorts.back(), peaks.back(), committed.back());
        fflush(stdout);
    }
    printf(
        "median of %d: start to filled list %.3f s, refresh %.3f s, sort %.3f s, peak working "
        "set %.1f MB, peak committed %.1f MB\n",
        runs, Median(starts), Median(refreshes), Median(sorts), Median(peaks), Median(committed));
    return 0;
}
