#pragma once
#include <string>

// The configuration file beside the library: its ".dll" extension (any letter case)
// becomes ".cfg"; a library without that extension gets ".cfg" appended. Folder names
// are never touched, so the result is never the library itself.
std::string ConfigurationPathFor(const std::string& libraryPath);
