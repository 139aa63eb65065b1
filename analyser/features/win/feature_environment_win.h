#pragma once
// The features' view of the running system.
#include "feature_environment.h"

class CSystemFeatureEnvironment final : public IFeatureEnvironment {
public:
    bool WindowsDirectory(std::string* directory) override;
    bool SystemDirectory(std::string* directory) override;
    std::string ToLower(const std::string& text) override;
    int64_t Now() override;
};

// Lower-cases with the C library's multibyte rules of the ANSI code page.
std::string MultiByteLower(const std::string& text);
