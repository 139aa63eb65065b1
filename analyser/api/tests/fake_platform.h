#pragma once
// Screening codes chosen by the test, ASCII case folding.
#include <map>
#include <string>

#include "analyser_platform.h"
#include "image_screen.h"

class FakePlatform final : public IAnalyserPlatform {
public:
    uint16_t ClassifyImageFile(const char* path) override {
        ++classified;
        if (path == nullptr || path[0] == '\0') return kNoPath;
        const auto found = codes.find(path);
        return found != codes.end() ? found->second : static_cast<uint16_t>(kExecutableImage);
    }
    std::string FoldCase(const std::string& text) override {
        std::string lower = text;
        for (char& c : lower) {
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        }
        return lower;
    }

    std::map<std::string, uint16_t> codes;
    int classified = 0;
};
