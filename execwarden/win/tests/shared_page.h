#pragma once
// The KSHARED page of a loaded ExecWarden.dll, found through its section table.
#include <windows.h>

#include <cstring>

#include "shared_section.h"

inline SharedSection* FindSharedSection(HMODULE library) {
    auto* base = reinterpret_cast<BYTE*>(library);
    if (base == nullptr) return nullptr;
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(
        base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
    IMAGE_SECTION_HEADER* section = IMAGE_FIRST_SECTION(nt);
    for (WORD i = 0; i < nt->FileHeader.NumberOfSections; ++i, ++section) {
        if (std::memcmp(section->Name, "KSHARED", 8) == 0 &&
            section->Misc.VirtualSize >= sizeof(SharedSection) &&
            (section->Characteristics & IMAGE_SCN_MEM_SHARED) != 0)
            return reinterpret_cast<SharedSection*>(base + section->VirtualAddress);
    }
    return nullptr;
}

// One field of the page, read as another process may just have written it.
template <class T>
T Peek(const T& field) {
    return *static_cast<const volatile T*>(&field);
}
