#pragma once
// The four logs the viewer shows, in their fixed order, and where they live.
#include <string>
#include <vector>

#include "byte_text.h"
#include "log_rules.h"

struct ColumnLayout {
    const char* captionKey;  // English caption, the lookup key; "" for the check-box column
    int width;               // pixels
};

// What is fixed about one log: its name, its list's columns, how its lines become rows
// and how rows become export lines.
struct LogFormat {
    const char* nameKey;                // tree text
    std::vector<ColumnLayout> columns;  // the check-box column first
    ParseLineFn parse;
    FormatRowFn format;
};

constexpr int kSourceCount = 4;
enum SourceIndex { kScanSource = 0, kReportSource = 1, kEventSource = 2, kUpdaterSource = 3 };

const LogFormat& SourceFormat(int index);

// The values of "Install Path" in the sections "Base", "Bulwark", "Keystone", "Addins"
// and "Upkeep" of the product file.
struct InstallPaths {
    std::string base, bulwark, keystone, addins, upkeep;
};

// Every file the viewer reads, deletes, opens or starts. An empty member means there is
// no such file: its install path was not configured.
struct LogPaths {
    std::string eventLog, scanLog, helpFile, reportLog, modulesDirectory, updater, updaterLog;
    std::string languageLibrary;  // "Polyglot.dll" in the modules directory
};

extern const char* const kInstallSections[5];

// The paths built from the install paths. A path under an install path that is empty
// stays empty instead of becoming a file at the root of the current drive, where
// Clear would delete, and Help would start, something that is not the suite's.
LogPaths BuildLogPaths(const InstallPaths& install, const LeadByteRule& rule);

// The log file of source `index`.
const std::string& SourceLogPath(const LogPaths& paths, int index);
