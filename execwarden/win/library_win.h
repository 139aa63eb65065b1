#pragma once
// Facts about this library that several parts need.
#include <windows.h>

#include <string>

#include "shared_section.h"

// The library's own module handle.
HMODULE ExecWardenModule();

// True once the library is being unloaded by FreeLibrary; false while it is loaded and at
// process exit (when other threads are gone already and nothing may wait or lock).
bool UnloadingByFreeLibrary();

// The library's full path ("" if it cannot be found).
std::string ExecWardenPath();

// The page shared by every process that maps this library. Other processes write it at
// any time: single fields go through ReadShared and WriteShared.
SharedSection& TheSharedSection();

template <class T>
T ReadShared(const T& field) {
    return *static_cast<const volatile T*>(&field);
}
template <class T>
void WriteShared(T& field, T value) {
    *static_cast<volatile T*>(&field) = value;
}

inline std::uint32_t HandleBits(HANDLE handle) {
    return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(handle));
}
