#pragma once
// Screens the file at `path` from its headers, read from the disk (see image_screen.h).
#include <cstdint>

uint16_t ClassifyImageFile(const char* path);
