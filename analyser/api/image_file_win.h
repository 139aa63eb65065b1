#pragma once
// Screens the file at `path` through a read-only mapping (see image_screen.h).
#include <cstdint>

uint16_t ClassifyImageFile(const char* path);
