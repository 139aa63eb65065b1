#pragma once
// The on-disk screening of a subject file before scoring. Only kNotImage stops the
// analysis; every other code lets the subject go on to the engine.
#include <cstdint>

enum ImageFileCode : uint16_t {
    kNoPath = 1,
    kOpenFailed = 2,
    kMappingFailed = 3,
    kViewFailed = 4,
    kNotImage = 5,
    kDamagedImage = 6,  // also any image that is not a 32-bit executable
    kExecutableImage = 7,
    kLibraryImage = 8,
    kDriverImage = 9,
};

// Files of this size or smaller are never images.
constexpr uint32_t kSmallestImageFile = 351;

// Classifies the `fileSize` bytes of a mapped file named `path` (codes 5 to 9).
uint16_t ClassifyImageBytes(const uint8_t* data, uint32_t fileSize, const char* path);
