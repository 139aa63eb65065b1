#pragma once
// Pins the slot numbers and the thiscall convention of interfaces that cross binary
// boundaries. A hand-made vtable of stubs stands for an object: the entry StubK<N> takes
// K arguments (thiscall callees pop their own, so each arity needs its own stub),
// records that slot N was called, on which object, with which first and last argument,
// and answers g_answer in EAX. A reordered or inserted virtual shows up as the wrong
// slot.
#include <gtest/gtest.h>

#include <cstdint>

namespace kvtest {

using Word = std::uintptr_t;  // one argument or result: a 32-bit stack slot, EAX

inline int g_slot = -1;
inline void* g_this = nullptr;
inline Word g_first = 0, g_last = 0;
inline Word g_answer = 0;  // what every stub returns

inline Word RecordSlot(int slot, void* self) {
    g_slot = slot;
    g_this = self;
    return g_answer;
}
inline Word RecordSlot(int slot, void* self, Word first, Word last) {
    g_first = first;
    g_last = last;
    return RecordSlot(slot, self);
}

#define KV_THISCALL __attribute__((thiscall))

template <int N>
Word KV_THISCALL Stub0(void* self) {
    return RecordSlot(N, self);
}
template <int N>
Word KV_THISCALL Stub1(void* self, Word a) {
    return RecordSlot(N, self, a, a);
}
template <int N>
Word KV_THISCALL Stub2(void* self, Word a, Word b) {
    return RecordSlot(N, self, a, b);
}
template <int N>
Word KV_THISCALL Stub3(void* self, Word a, Word, Word c) {
    return RecordSlot(N, self, a, c);
}
template <int N>
Word KV_THISCALL Stub4(void* self, Word a, Word, Word, Word d) {
    return RecordSlot(N, self, a, d);
}
template <int N>
Word KV_THISCALL Stub5(void* self, Word a, Word, Word, Word, Word e) {
    return RecordSlot(N, self, a, e);
}
template <int N>
Word KV_THISCALL Stub6(void* self, Word a, Word, Word, Word, Word, Word f) {
    return RecordSlot(N, self, a, f);
}

#undef KV_THISCALL

// What the interface pointer points at: the table pointer, as in any object.
struct FakeObject {
    const void* const* vtable;
};

template <class Interface>
Interface* AsInterface(FakeObject& fake) {
    return reinterpret_cast<Interface*>(&fake);
}

// A table entry.
template <class F>
const void* Entry(F f) {
    return reinterpret_cast<const void*>(f);
}

}  // namespace kvtest

// `call` on the interface over `fake` reaches slot `n`, with `fake` as this.
#define EXPECT_SLOT(n, call)                \
    do {                                    \
        ::kvtest::g_slot = -1;              \
        ::kvtest::g_this = nullptr;         \
        call;                               \
        EXPECT_EQ(n, ::kvtest::g_slot);     \
        EXPECT_EQ(&fake, ::kvtest::g_this); \
    } while (0)
