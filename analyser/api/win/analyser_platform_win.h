#pragma once
// The analyser's view of the running system.
#include "analyser_platform.h"

class CSystemAnalyserPlatform final : public IAnalyserPlatform {
public:
    uint16_t ClassifyImageFile(const char* path) override;
    std::string FoldCase(const std::string& text) override;
};

// The Windows, system and Program Files directories, lower-cased; a directory that
// cannot be read is empty.
AnalyserDirectories ReadAnalyserDirectories();
