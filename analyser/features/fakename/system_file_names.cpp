#include "system_file_names.h"

const char kSystemFileNames[][kSystemNameSlotSize] = {
#include "system_file_names.inc"
};

const size_t kSystemFileNameCount = sizeof(kSystemFileNames) / sizeof(kSystemFileNames[0]);
