#pragma once
// Fixed directories and clock for the location features.
#include <cctype>
#include <string>

#include "feature_environment.h"

class FakeEnvironment final : public IFeatureEnvironment {
public:
    bool WindowsDirectory(std::string* directory) override {
        if (!windowsOk) return false;
        *directory = windowsDir;
        return true;
    }
    bool SystemDirectory(std::string* directory) override {
        if (!systemOk) return false;
        *directory = systemDir;
        return true;
    }
    std::string ToLower(const std::string& text) override {
        std::string lower = text;
        for (char& c : lower) {
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        }
        return lower;
    }
    int64_t Now() override { return now; }

    std::string windowsDir = "C:\\WINDOWS";
    std::string systemDir = "C:\\WINDOWS\\system32";
    bool windowsOk = true;
    bool systemOk = true;
    int64_t now = 1800000000;
};
