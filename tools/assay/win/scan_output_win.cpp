#include "scan_output_win.h"

#include <windows.h>

#include <cstdio>

#include "text_win.h"
#include "win32/files.h"

ScanOutput::ScanOutput(const AssayOptions& options) : options_(options) {
    // Lines go out in blocks; a console still sees each one as it is written.
    static char outputBuffer[1 << 16];
    DWORD mode = 0;
    if (!GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode)) {
        std::setvbuf(stdout, outputBuffer, _IOFBF, sizeof(outputBuffer));
    }
    if (!options.scanLogPath.empty()) {
        // Shared, so that LogDesk can show (or clear) the log while the scan goes on.
        log_.reset(CreateFileW(WideFromUtf8(options.scanLogPath).c_str(), FILE_APPEND_DATA,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!log_) {
            const DWORD error = GetLastError();
            logError_ = "--log: cannot open " + options.scanLogPath + ": " + ErrorText(error);
        }
    }
}

void ScanOutput::Report(const FileVerdict& verdict) {
    CountInto(verdict, &summary_);
    progress_.Update(summary_.files, summary_.bytes);
    if (log_ && verdict.verdict == Verdict::kSuspicious) AppendToLog(verdict);
    if (options_.quiet && verdict.verdict == Verdict::kClean) return;
    const std::string line = options_.json ? FormatJsonLine(verdict) : FormatTableLine(verdict);
    std::fprintf(stdout, "%s\n", line.c_str());
}

void ScanOutput::AppendToLog(const FileVerdict& verdict) {
    SYSTEMTIME now;
    GetLocalTime(&now);
    char time[32];
    std::snprintf(time, sizeof(time), "%04u-%02u-%02u %02u:%02u:%02u", now.wYear, now.wMonth,
                  now.wDay, now.wHour, now.wMinute, now.wSecond);
    // The log is read in the ANSI code page; JSON mode holds the path in UTF-8.
    const std::string path =
        options_.json ? NarrowFromWide(WideFromUtf8(verdict.path), CP_ACP) : verdict.path;
    const std::string line = FormatScanLogLine(verdict, time, path);
    if (!kvwin::WriteAll(log_.get(), line.data(), line.size()) && !logFailed_) {
        const DWORD error = GetLastError();
        logFailed_ = true;
        std::fprintf(stderr, "assay: --log: cannot write to %s: %s\n", options_.scanLogPath.c_str(),
                     ErrorText(error).c_str());
    }
}

int ScanOutput::Finish(double seconds, bool interrupted) {
    progress_.Finish();
    summary_.seconds = seconds;
    summary_.interrupted = interrupted;
    const std::string line =
        options_.json ? FormatJsonSummary(summary_) : FormatTableSummary(summary_);
    std::fprintf(stdout, "%s\n", line.c_str());
    std::fflush(stdout);
    return ExitStatusFor(summary_);
}
