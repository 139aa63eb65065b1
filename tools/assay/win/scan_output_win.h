#pragma once
// What a scan prints on stdout, in either mode: a line per file (table or JSON, clean
// files left out with --quiet), the progress line on a console, and the summary.
#include "assay_options.h"
#include "assay_report.h"
#include "progress_win.h"

class ScanOutput {
public:
    explicit ScanOutput(const AssayOptions& options);
    // Counts the file into the summary and prints its line.
    void Report(const FileVerdict& verdict);
    // Prints the summary and returns the exit status.
    int Finish(double seconds, bool interrupted);

private:
    const AssayOptions& options_;
    ScanSummary summary_;
    ProgressLine progress_;
};
