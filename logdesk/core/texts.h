#pragma once
// Texts the viewer puts together from translated parts.
#include <cstdint>
#include <string>

// "<program name> <Version> a.b.c" from the product version of the program's version
// resource: the high word and the low byte of its most significant half, and the high
// word of its least significant half.
std::string VersionLine(const std::string& programName, const std::string& versionWord,
                        uint32_t productVersionMs, uint32_t productVersionLs);

// The help prompt: its two sentences on two lines.
std::string HelpPrompt(const std::string& notDetected, const std::string& runNow);
