#pragma once
// What a scan prints on stdout, in either mode: a line per file (table or JSON, clean
// files left out with --quiet), the progress line on a console, and the summary; and,
// with --log, a scan-log line per suspicious file.
#include <string>

#include "assay_options.h"
#include "assay_report.h"
#include "progress_win.h"
#include "win32/handles.h"

class ScanOutput {
public:
    // Opens the scan log of --log for appending, when there is one.
    explicit ScanOutput(const AssayOptions& options);
    // Why the scan log cannot be written to; empty when it can, or when there is none.
    // The scan must not begin then.
    const std::string& LogError() const { return logError_; }
    // Counts the file into the summary and prints its line.
    void Report(const FileVerdict& verdict);
    // Prints the summary and returns the exit status.
    int Finish(double seconds, bool interrupted);

private:
    void AppendToLog(const FileVerdict& verdict);

    const AssayOptions& options_;
    ScanSummary summary_;
    ProgressLine progress_;
    UniqueFile log_;
    std::string logError_;
    bool logFailed_ = false;  // a line could not be written (said once on stderr)
};
