#pragma once
// What the analyser asks of the system: the on-disk screening and the path folding of
// its list checks. The Windows build answers from the system (analyser_platform_win.h).
#include <cstdint>
#include <string>

class IAnalyserPlatform {
public:
    // One of the ImageFileCode values for the file at `path` (kNoPath for null or "").
    virtual uint16_t ClassifyImageFile(const char* path) = 0;
    // The C library's multibyte lower-casing in the ANSI code page.
    virtual std::string FoldCase(const std::string& text) = 0;

protected:
    ~IAnalyserPlatform() = default;
};

// The three directories the rule-database paths are rooted at, lower-cased.
struct AnalyserDirectories {
    std::string windowsDir;
    std::string systemDir;
    std::string programFilesDir;
};
