#pragma once
// Facts about this library that several parts need.
#include <windows.h>

#include <cstdint>

#include "shared_section.h"

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
