#pragma once
// The built-in look-alike strings: characters that readers mistake for one another.
#include <cstddef>

// The first character of each string is its key; the whole string (key included) is
// the set of characters that count as equal to the key.
extern const char* const kLookAlikeStrings[];
extern const size_t kLookAlikeStringCount;
