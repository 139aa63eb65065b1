#include "log_sources.h"

const char* const kInstallSections[5] = {"Base", "Bulwark", "Keystone", "Addins", "Upkeep"};

const LogFormat& SourceFormat(int index) {
    static const std::vector<ColumnLayout> kFindingColumns = {
        {"", 20},      {"Time", 140},     {"File name", 160}, {"Virus name", 160},
        {"State", 90}, {"File path", 400}};
    static const LogFormat kSources[kSourceCount] = {
        {"Bulwark Log", kFindingColumns, ParseScanLine, FormatScanRow},
        {"Keystone Log", kFindingColumns, ParseReportLine, FormatReportRow},
        {"Event Log", {{"", 20}, {"Time", 140}, {"Event", 400}}, ParseEventLine, FormatEventRow},
        {"Upkeep Log",
         {{"", 20}, {"Time", 140}, {"Live result", 200}},
         ParseUpdaterLine,
         FormatUpdaterRow},
    };
    return kSources[index];
}

namespace {

std::string Under(const std::string& installPath, const char* file) {
    return installPath.empty() ? std::string() : installPath + file;
}

}  // namespace

LogPaths BuildLogPaths(const InstallPaths& install, const LeadByteRule& rule) {
    LogPaths paths;
    paths.eventLog = Under(install.base, "\\Event.txt");
    paths.scanLog = Under(install.bulwark, "\\SifterLog.txt");
    paths.helpFile = Under(install.bulwark, "\\Bulwark.chm");
    paths.reportLog = Under(install.keystone, "\\Report.txt");
    paths.modulesDirectory = install.addins;
    paths.updater = Under(install.upkeep, "\\Upkeep.exe");
    paths.updaterLog = Under(install.upkeep, "\\Upkeep.log");
    // The library is looked for in the modules directory without its trailing
    // separators (a "\\" that ends a double-byte character is no separator); a
    // directory that is nothing but separators is no directory.
    const std::string& modules = install.addins;
    size_t kept = 0;
    for (size_t pos = 0; pos < modules.size();) {
        const size_t length = rule.CharLength(modules, pos);
        pos += length;
        if (length == 2 || (modules[pos - 1] != '\\' && modules[pos - 1] != '/')) kept = pos;
    }
    paths.languageLibrary = Under(modules.substr(0, kept), "\\Polyglot.dll");
    return paths;
}

const std::string& SourceLogPath(const LogPaths& paths, int index) {
    switch (index) {
        case kScanSource:
            return paths.scanLog;
        case kReportSource:
            return paths.reportLog;
        case kEventSource:
            return paths.eventLog;
        default:
            return paths.updaterLog;
    }
}
