#pragma once
// Slot number of a virtual member function, read from its member-function pointer
// (Itanium C++ ABI, used by GCC and clang on every target of this tree: a virtual
// member's pointer holds 1 + its byte offset in the vtable).
#include <cstddef>
#include <cstdint>
#include <cstring>

template <class MemberFunction>
size_t VtableSlot(MemberFunction function) {
    struct Representation {
        uintptr_t pointer;
        ptrdiff_t adjustment;
    };
    static_assert(sizeof(MemberFunction) == sizeof(Representation), "unexpected ABI");
    Representation representation;
    memcpy(&representation, &function, sizeof(representation));
    if ((representation.pointer & 1) == 0) return SIZE_MAX;  // not virtual
    return (representation.pointer - 1) / sizeof(void*);
}
