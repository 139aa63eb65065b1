#include "look_alike_table.h"

const char* const kLookAlikeStrings[] = {
#include "look_alike_strings.inc"
};

const size_t kLookAlikeStringCount = sizeof(kLookAlikeStrings) / sizeof(kLookAlikeStrings[0]);
