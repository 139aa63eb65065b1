#pragma once
// A scan spread over worker processes: this process walks the paths, hands the files to
// `jobs` workers (assay.exe again, each with its own Assayer.dll), and prints their
// verdicts in the order of the walk. A worker that crashes or hangs on a file is ended,
// the file is reported as an error, and a new worker takes over.
#include "assay_options.h"

// The exit status, as for a scan in this process.
int RunParallelScan(const AssayOptions& options, int jobs);
