#pragma once
// What the autorun feature asks of the machine. The Windows build reads the run
// keys and startup folders (autorun_system_win.h); tests use fixed lists.
#include <string>
#include <vector>

class IAutorunSystem {
public:
    // The full paths of the programs the machine starts by itself. False when
    // none of the places could be read.
    virtual bool ReadAutorunPaths(std::vector<std::string>* paths) = 0;
    // The C library's multibyte comparison ignoring case, in the ANSI code page.
    virtual bool SameTextIgnoringCase(const std::string& left, const std::string& right) = 0;

protected:
    ~IAutorunSystem() = default;
};
