#pragma once
// The list interface of UserTag.dll, handed out by GetInterface("UserTag"), as hosts see it
// (include/kavro/usertag.h). Its slot order, thiscall and the 8-bit bool results are an
// ABI with hosts built by other compilers: never reorder, never add a virtual destructor
// (GCC would emit two slots for it, MSVC one). The object is the library's own and is
// never deleted through this interface.
#include "kavro/usertag.h"
