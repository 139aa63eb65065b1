#pragma once
// What the features ask of the system beyond the subject record. The Windows build
// answers from the system (feature_environment_win.h); tests answer from fixed values.
#include <cstdint>
#include <string>

class IFeatureEnvironment {
public:
    // The Windows directory as the system reports it; false when it cannot be read.
    virtual bool WindowsDirectory(std::string* directory) = 0;
    // The system directory as the system reports it; false when it cannot be read.
    virtual bool SystemDirectory(std::string* directory) = 0;
    // The C library's multibyte lower-casing in the ANSI code page.
    virtual std::string ToLower(const std::string& text) = 0;
    // The current time, signed seconds since 1970-01-01 UTC.
    virtual int64_t Now() = 0;

protected:
    ~IFeatureEnvironment() = default;
};
