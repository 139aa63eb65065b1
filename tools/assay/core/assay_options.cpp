#include "assay_options.h"

#include <cerrno>
#include <cstdlib>

namespace {

// A whole decimal number from `lowest` to `highest`; nothing else passes.
bool ParseCount(const std::string& text, unsigned long lowest, unsigned long highest,
                unsigned long* value) {
    if (text.empty() || text.size() > 10) return false;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
    }
    errno = 0;
    const unsigned long parsed = std::strtoul(text.c_str(), nullptr, 10);
    if (errno != 0 || parsed < lowest || parsed > highest) return false;
    *value = parsed;
    return true;
}

// An option that takes a value, as "--name VALUE" or "--name=VALUE" (and, for a short
// name, "-n VALUE" or "-nVALUE"). Returns false when `arg` is not this option; sets
// `missing` when it is but no value follows.
bool TakeValue(const std::vector<std::string>& args, size_t* i, const std::string& name,
               const std::string& shortName, std::string* value, bool* missing) {
    const std::string& arg = args[*i];
    *missing = false;
    if (arg == name || (!shortName.empty() && arg == shortName)) {
        if (*i + 1 >= args.size()) {
            *missing = true;
        } else {
            *value = args[++*i];
        }
        return true;
    }
    if (arg.compare(0, name.size() + 1, name + "=") == 0) {
        *value = arg.substr(name.size() + 1);
        return true;
    }
    if (!shortName.empty() && arg.size() > shortName.size() &&
        arg.compare(0, shortName.size(), shortName) == 0) {
        *value = arg.substr(shortName.size());
        return true;
    }
    return false;
}

}  // namespace

bool ParseAssayArguments(const std::vector<std::string>& args, AssayOptions* options,
                         std::string* error) {
    *options = AssayOptions();
    bool optionsEnded = false;
    bool configSeen = false;
    bool jobsSeen = false;
    bool timeoutSeen = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        std::string value;
        bool missing = false;
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
        } else if (TakeValue(args, &i, "--config", "", &value, &missing)) {
            if (configSeen) {
                *error = "--config given twice";
                return false;
            }
            configSeen = true;
            if (missing || value.empty()) {
                *error = "--config needs a file";
                return false;
            }
            options->configPath = value;
        } else if (TakeValue(args, &i, "--log", "", &value, &missing)) {
            if (!options->scanLogPath.empty()) {
                *error = "--log given twice";
                return false;
            }
            if (missing || value.empty()) {
                *error = "--log needs a file";
                return false;
            }
            options->scanLogPath = value;
        } else if (TakeValue(args, &i, "--signatures", "", &value, &missing)) {
            if (missing || value.empty()) {
                *error = "--signatures needs a file";
                return false;
            }
            options->signatureFiles.push_back(value);
        } else if (TakeValue(args, &i, "--jobs", "-j", &value, &missing)) {
            unsigned long jobs = 0;
            if (jobsSeen) {
                *error = "--jobs given twice";
                return false;
            }
            jobsSeen = true;
            if (missing || !ParseCount(value, 1, kMostJobs, &jobs)) {
                *error = "--jobs needs a number from 1 to " + std::to_string(kMostJobs);
                return false;
            }
            options->jobs = static_cast<int>(jobs);
        } else if (TakeValue(args, &i, "--timeout", "", &value, &missing)) {
            unsigned long seconds = 0;
            if (timeoutSeen) {
                *error = "--timeout given twice";
                return false;
            }
            timeoutSeen = true;
            // A day is plenty for one file; more would overflow the millisecond waits.
            if (missing || !ParseCount(value, 1, 86400, &seconds)) {
                *error = "--timeout needs a number of seconds from 1 to 86400";
                return false;
            }
            options->fileTimeoutSeconds = static_cast<uint32_t>(seconds);
        } else if (TakeValue(args, &i, "--worker", "", &value, &missing)) {
            unsigned long handle = 0;
            if (missing || !ParseCount(value, 1, 0xFFFFFFFFul, &handle)) {
                *error = "--worker needs a handle";
                return false;
            }
            options->workerPipe = static_cast<uint32_t>(handle);
        } else {
            *error = "unknown option " + arg;
            return false;
        }
    }
    if (options->help) return true;
    if (options->workerPipe != 0) {
        if (!options->paths.empty()) {
            *error = "a worker takes its files from its pipe";
            return false;
        }
        return true;
    }
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
    return "usage: assay [--config FILE] [--signatures FILE]... [--log FILE] [--json]\n"
           "             [--quiet] [--jobs N] [--timeout SECONDS] PATH...\n"
           "  Scans files with Assayer.dll (directories recursively) and prints one line\n"
           "  per file: verdict, score, hit letters with their features, path.\n"
           "  --config FILE      scoring configuration (weights and threshold) for the analyser\n"
           "  --signatures FILE  an analyst's own packer signatures, tried after the built-in\n"
           "                     ones (blocks of [name], signature = 60 E8 ?? ..,\n"
           "                     ep_only = true); may be repeated; what was added and\n"
           "                     skipped is printed on stderr\n"
           "  --log FILE         append a line per suspicious file to FILE, a scan log as\n"
           "                     LogDesk shows it (time, path, found, name, state)\n"
           "  --json             one JSON object per line instead of the table\n"
           "  --quiet            leave out the lines of clean files\n"
           "  -j, --jobs N       scan in N worker processes (default: one per processor;\n"
           "                     1 scans in this process); lines keep the order of the walk,\n"
           "                     and a file that crashes or hangs the analyser is reported\n"
           "                     as an error while the scan goes on\n"
           "  --timeout SECONDS  end a worker that spends longer on one file (default 60)\n"
           "exit status: 0 nothing suspicious, 1 something suspicious, 2 usage error,\n"
           "  3 the analyser crashed or hung on a file (this wins over 1),\n"
           "  130 interrupted (Ctrl-C; the lines so far and a summary are printed)\n";
}
