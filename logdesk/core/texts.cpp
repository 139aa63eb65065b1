#include "texts.h"

std::string VersionLine(const std::string& programName, const std::string& versionWord,
                        uint32_t productVersionMs, uint32_t productVersionLs) {
    return programName + " " + versionWord + " " + std::to_string(productVersionMs >> 16) + "." +
           std::to_string(productVersionMs & 0xFF) + "." + std::to_string(productVersionLs >> 16);
}

std::string HelpPrompt(const std::string& notDetected, const std::string& runNow) {
    return notDetected + "\n" + runNow;
}
