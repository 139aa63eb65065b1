// assay: scans files with Assayer.dll and prints a verdict for each.
//   assay [--config FILE] [--signatures FILE]... [--log FILE] [--json] [--quiet]
//         [--jobs N] [--timeout SECONDS] PATH...
// With more than one job the files go to worker processes (parallel_scan_win.h); a
// worker is this program started with --worker (worker_main_win.h).
#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "assay_options.h"
#include "assay_report.h"
#include "assayer_library_win.h"
#include "file_content_win.h"
#include "file_walk_win.h"
#include "interruption_win.h"
#include "parallel_scan_win.h"
#include "scan_file_win.h"
#include "scan_output_win.h"
#include "text_win.h"
#include "worker_main_win.h"

namespace {

// The file being analysed, named when the process dies on it. Only the main thread
// scans, so a plain pointer will do.
const std::wstring* g_currentFile = nullptr;

LONG WINAPI ReportCrash(EXCEPTION_POINTERS* exception) {
    // The lines printed so far are kept, and stderr names the file that stopped the scan.
    std::fflush(stdout);
    const std::string file =
        g_currentFile != nullptr ? NarrowFromWide(*g_currentFile, CP_ACP) : std::string("-");
    std::fprintf(stderr, "assay: exception 0x%08lX while scanning %s\n",
                 static_cast<unsigned long>(exception->ExceptionRecord->ExceptionCode),
                 file.c_str());
    std::fflush(stderr);
    ExitProcess(kExitCrashed);
}

using Clock = std::chrono::steady_clock;

std::vector<std::string> Utf8Arguments() {
    std::vector<std::string> args;
    int count = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &count);
    if (argv == nullptr) return args;
    for (int i = 1; i < count; ++i) args.push_back(NarrowFromWide(argv[i], CP_UTF8));
    LocalFree(argv);
    return args;
}

int DefaultJobs() {
    SYSTEM_INFO system;
    GetSystemInfo(&system);
    const int processors = static_cast<int>(system.dwNumberOfProcessors);
    return processors < 1 ? 1 : (processors > kMostJobs ? kMostJobs : processors);
}

// The whole scan in this process: a crash in the analyser ends it (exit status 3).
int ScanHere(const AssayOptions& options) {
    SetUnhandledExceptionFilter(ReportCrash);
    AssayerLibrary library;
    if (!ReportPreparation(PrepareAnalyser(options, &library), options)) return kExitUsage;

    WatchForInterruption();
    const Clock::time_point start = Clock::now();
    ScanOutput output(options);
    if (!output.LogError().empty()) {
        std::fprintf(stderr, "assay: %s\n", output.LogError().c_str());
        return kExitUsage;
    }
    FileContent content;
    const UINT pathCodePage = options.json ? CP_UTF8 : CP_ACP;
    for (const std::string& given : options.paths) {
        FileWalk walk(WideFromUtf8(given));
        WalkEntry entry;
        while (!Interrupted() && walk.Next(&entry)) {
            FileVerdict verdict;
            if (entry.failed) {
                verdict.verdict = Verdict::kError;
                verdict.error = entry.why;
            } else {
                g_currentFile = &entry.path;
                verdict = ScanFile(&library, &content, entry.path);
                g_currentFile = nullptr;
            }
            verdict.path = NarrowFromWide(entry.path, pathCodePage);
            output.Report(verdict);
        }
    }
    return output.Finish(std::chrono::duration<double>(Clock::now() - start).count(),
                         Interrupted());
}

}  // namespace

int main() {
    AssayOptions options;
    std::string why;
    if (!ParseAssayArguments(Utf8Arguments(), &options, &why)) {
        std::fprintf(stderr, "assay: %s\n%s", why.c_str(), AssayUsage());
        return kExitUsage;
    }
    if (options.workerPipe != 0) return RunWorker(options);
    if (options.help) {
        std::fputs(AssayUsage(), stdout);
        return 0;
    }
    const int jobs = options.jobs != 0 ? options.jobs : DefaultJobs();
    if (jobs == 1) return ScanHere(options);
    return RunParallelScan(options, jobs);
}
