#include "scan_output_win.h"

#include <windows.h>

#include <cstdio>

ScanOutput::ScanOutput(const AssayOptions& options) : options_(options) {
    // Lines go out in blocks; a console still sees each one as it is written.
    static char outputBuffer[1 << 16];
    DWORD mode = 0;
    if (!GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode)) {
        std::setvbuf(stdout, outputBuffer, _IOFBF, sizeof(outputBuffer));
    }
}

void ScanOutput::Report(const FileVerdict& verdict) {
    CountInto(verdict, &summary_);
    progress_.Update(summary_.files, summary_.bytes);
    if (options_.quiet && verdict.verdict == Verdict::kClean) return;
    const std::string line = options_.json ? FormatJsonLine(verdict) : FormatTableLine(verdict);
    std::fprintf(stdout, "%s\n", line.c_str());
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
