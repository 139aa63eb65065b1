#pragma once
// Document, media and program extensions (without the dot, case as stored) that make a
// double extension suspicious when they stand inside it.
#include <cstddef>

extern const char* const kKnownExtensions[];
extern const size_t kKnownExtensionCount;
