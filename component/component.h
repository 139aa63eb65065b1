#pragma once
// The component convention shared by every loadable library of the suite and its hosts:
// IComponent, IKavroComponentManager, the factory export's type and the registry's name
// are the hosts' own declarations (include/kavro/component.h). Slot order is an ABI with
// hosts built by other compilers: never reorder, never add a virtual destructor to
// IComponent.
#include "kavro/component.h"

// The component convention's bounded name copy (slot 0 of every component).
const char* AnswerComponentName(const char* name, char* buffer, int size);

// Exact byte-wise comparison of two NUL-terminated names; a null `asked` never matches.
bool ComponentNameEquals(const char* asked, const char* name);
