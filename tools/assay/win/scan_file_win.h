#pragma once
// The scan of one file and the preparation of the analyser, the same in a single
// process and in each worker of a parallel scan.
#include <string>
#include <vector>

#include "assay_options.h"
#include "assay_report.h"
#include "assayer_library_win.h"
#include "file_content_win.h"
#include "worker_protocol.h"

// Loads Assayer.dll from beside the program, gives it the configuration of `options`
// and then the signature databases in order, stopping at the first that cannot be read.
// Ready, or not with the reason.
WorkerHello PrepareAnalyser(const AssayOptions& options, AssayerLibrary* library);

// Says on stderr what each signature database gave, naming the files as the user did,
// and why the analyser is not ready when it is not. True when it is.
bool ReportPreparation(const WorkerHello& hello, const AssayOptions& options);

// Reads the file and has the analyser judge it. The verdict's path is left empty.
FileVerdict ScanFile(AssayerLibrary* library, FileContent* content, const std::wstring& path);
