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

// ClassifyImagePrefix's answer when the bytes it was given do not decide.
constexpr uint16_t kNeedMoreBytes = 0;

// The same from the file's first `available` bytes only: the headers and the section
// table are all the check reads. When a byte it needs lies beyond them, returns
// kNeedMoreBytes and sets `needed` to a prefix length that will do (never more than
// `fileSize`); given that many, it answers as ClassifyImageBytes does for the whole file.
uint16_t ClassifyImagePrefix(const uint8_t* data, uint32_t available, uint32_t fileSize,
                             const char* path, uint32_t* needed);
