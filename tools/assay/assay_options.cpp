#include "assay_options.h"

bool ParseAssayArguments(const std::vector<std::string>& args, AssayOptions* options,
                         std::string* error) {
    *options = AssayOptions();
    bool optionsEnded = false;
    bool configSeen = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg.empty() || arg[0] != '-' || arg == "-") {
            options->paths.push_back(arg);
        } else if (arg == "--") {
            optionsEnded = true;
        } else if (arg == "--help" || arg == "-h") {
            options->help = true;
        } else if (arg == "--json") {
            options->json = true;
        } else if (arg == "--quiet") {
            options->quiet = true;
        } else if (arg == "--config" || arg.compare(0, 9, "--config=") == 0) {
            if (configSeen) {
                *error = "--config given twice";
                return false;
            }
            configSeen = true;
            if (arg == "--config") {
                if (i + 1 >= args.size()) {
                    *error = "--config needs a file";
                    return false;
                }
                options->configPath = args[++i];
            } else {
                options->configPath = arg.substr(9);
            }
            if (options->configPath.empty()) {
                *error = "--config needs a file";
                return false;
            }
        } else if (arg == "--signatures" || arg.compare(0, 13, "--signatures=") == 0) {
            std::string file;
            if (arg == "--signatures") {
                if (i + 1 < args.size()) file = args[++i];
            } else {
                file = arg.substr(13);
            }
            if (file.empty()) {
                *error = "--signatures needs a file";
                return false;
            }
            options->signatureFiles.push_back(file);
        } else {
            *error = "unknown option " + arg;
            return false;
        }
    }
    if (options->help) return true;
    if (options->paths.empty()) {
        *error = "no file or directory to scan";
        return false;
    }
    for (const std::string& path : options->paths) {
        if (path.empty()) {
            *error = "an empty path";
            return false;
        }
    }
    return true;
}

const char* AssayUsage() {
    return "usage: assay [--config FILE] [--signatures FILE]... [--json] [--quiet] PATH...\n"
           "  Scans files with Assayer.dll (directories recursively) and prints one line\n"
           "  per file: verdict, score, hit letters with their features, path.\n"
           "  --config FILE      scoring configuration (weights and threshold) for the analyser\n"
           "  --signatures FILE  an analyst's own packer signatures, tried after the built-in\n"
           "                     ones (blocks of [name], signature = 60 E8 ?? ..,\n"
           "                     ep_only = true); may be repeated; what was added and\n"
           "                     skipped is printed on stderr\n"
           "  --json             one JSON object per line instead of the table\n"
           "  --quiet            leave out the lines of clean files\n"
           "exit status: 0 nothing suspicious, 1 something suspicious, 2 usage error,\n"
           "  3 a crash while scanning (the file is named on stderr)\n";
}
