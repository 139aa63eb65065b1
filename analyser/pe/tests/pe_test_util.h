#pragma once
// Small helpers shared by the reader's tests.
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "pe_helper.h"
#include "pe_image_builder.h"

// The whole file; empty when it cannot be read.
inline std::vector<uint8_t> ReadFileBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline int ParseImage(CPEHelper& helper, const std::vector<uint8_t>& image) {
    return helper.Parse(image.data(), static_cast<int>(image.size()));
}

inline std::vector<std::vector<uint8_t>> CollectResources(CPEHelper& helper, const char* type,
                                                          int* result = nullptr) {
    std::vector<std::vector<uint8_t>> found;
    const int r = helper.EnumResources(
        type,
        [](const unsigned char* data, int size, void* user) {
            static_cast<std::vector<std::vector<uint8_t>>*>(user)->emplace_back(data, data + size);
            return 0;
        },
        &found);
    if (result != nullptr) *result = r;
    return found;
}

inline std::vector<std::string> CollectStrings(CPEHelper& helper, int minLen) {
    std::vector<std::string> found;
    helper.EnumStrings(
        minLen,
        [](const PEString* record, void* user) {
            static_cast<std::vector<std::string>*>(user)->emplace_back(record->text,
                                                                       record->length);
            return 1;
        },
        &found);
    return found;
}

inline std::string SafeText(const char* text) {
    return text == nullptr ? "(null)" : text;
}
