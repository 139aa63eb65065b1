#pragma once
// The built-in table of known system file names.
#include <cstddef>

// Each name lives in its own zero-padded slot of this size.
constexpr size_t kSystemNameSlotSize = 128;

// The names in ascending order of their bytes compared as unsigned values.
extern const char kSystemFileNames[][kSystemNameSlotSize];
extern const size_t kSystemFileNameCount;
