#include "shared_section.h"

#include <cstring>

void CopyHookString(char (&field)[kHookStringSize], const char* text) {
    std::memset(field, 0, sizeof field);
    if (text == nullptr) return;
    std::size_t length = ::strnlen(text, kHookStringSize - 1);
    std::memcpy(field, text, length);
}
