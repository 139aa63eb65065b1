#pragma once
// The command line of assay:
//   [--config FILE] [--signatures FILE]... [--log FILE] [--json] [--quiet] [--jobs N]
//   [--timeout S] PATH...
// and the worker mode that a parallel scan starts itself in:
//   --worker HANDLE [--config FILE] [--signatures FILE]...
#include <cstdint>
#include <string>
#include <vector>

// More worker processes than this are refused: the parent waits on each one's pipe and
// on the interruption in one call, which takes at most 64 handles.
constexpr int kMostJobs = 32;

struct AssayOptions {
    std::string configPath;   // empty: the analyser's built-in weights and threshold
    std::string scanLogPath;  // --log: the scan log a line per suspicious file goes to
    bool json = false;        // one JSON object per line instead of the table
    bool quiet = false;       // leave out the lines of clean files
    bool help = false;        // --help: print the usage and scan nothing
    // Analysts' signature databases, loaded in this order before the scan.
    std::vector<std::string> signatureFiles;
    std::vector<std::string> paths;
    // Worker processes; 0 means one per processor. 1 scans in this process.
    int jobs = 0;
    // How long a worker may take over one file before it is ended.
    uint32_t fileTimeoutSeconds = 60;
    // Worker mode: the inherited pipe to the parent (a handle value), else 0.
    uint32_t workerPipe = 0;
};

// Parses the arguments after the program name. On a usage error returns false and
// says why in `error`; "--" ends the options, so a path may begin with "-". A path
// that is "-" is a path, not standard input. A worker takes no paths.
bool ParseAssayArguments(const std::vector<std::string>& args, AssayOptions* options,
                         std::string* error);

// The usage text, ending in a newline.
const char* AssayUsage();
