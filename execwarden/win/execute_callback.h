#pragma once
// The handler interface that a host implements and registers with the process monitor
// (include/kavro/execwarden.h). Slot order is an ABI with hosts built by other compilers
// (thiscall, one slot).
#include <windows.h>

#include "kavro/execwarden.h"
