#pragma once
// The worker mode of assay: started by a parallel scan's parent with "--worker HANDLE",
// it prepares its own analyser, says so, then scans each file the parent sends and
// answers in the same order, until the pipe closes. A crash in the analyser is reported
// on the pipe before the worker ends.
#include "assay_options.h"

int RunWorker(const AssayOptions& options);
