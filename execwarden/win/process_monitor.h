#pragma once
// The process monitor as hosts see it (include/kavro/execwarden.h): the two component
// slots, then its own operations. Slot order is an ABI with hosts built by other compilers
// (thiscall). No virtual destructor: GCC would give it two slots where an MSVC host
// expects one.
#include "component.h"
#include "execute_callback.h"
