#pragma once
// The command line of assay: [--config FILE] [--signatures FILE]... [--json] [--quiet] PATH...
#include <string>
#include <vector>

struct AssayOptions {
    std::string configPath;  // empty: the analyser's built-in weights and threshold
    bool json = false;       // one JSON object per line instead of the table
    bool quiet = false;      // leave out the lines of clean files
    bool help = false;       // --help: print the usage and scan nothing
    // Analysts' signature databases, loaded in this order before the scan.
    std::vector<std::string> signatureFiles;
    std::vector<std::string> paths;
};

// Parses the arguments after the program name. On a usage error returns false and
// says why in `error`; "--" ends the options, so a path may begin with "-". A path
// that is "-" is a path, not standard input.
bool ParseAssayArguments(const std::vector<std::string>& args, AssayOptions* options,
                         std::string* error);

// The usage text, ending in a newline.
const char* AssayUsage();
