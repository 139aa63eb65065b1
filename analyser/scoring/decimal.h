#pragma once
// The C library's decimal text-to-integer conversion: leading white space, an optional
// sign, then digits up to the first other byte; no digits give 0. Values beyond the
// 32-bit range stop at its ends instead of being undefined.
#include <cstdint>

int32_t ParseDecimal(const char* text);
