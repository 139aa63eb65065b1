#pragma once
// The one way our tests pin the slot numbers of interfaces that cross binary boundaries,
// in both trees. A hand-made vtable of stubs stands for an object: the entry StubK<N>
// takes K arguments, records that slot N was called, on which object, with which first
// and last argument, and answers g_answer (in EAX on x86). A call through the interface
// reaches the entry the compiler chose for it, so a reordered or inserted virtual shows
// up as the wrong slot.
//
// On 32-bit x86 Windows every slot is thiscall and so are the stubs: the callee pops its
// own arguments, so each arity needs its own stub and a call in another convention
// upsets the stack. Where thiscall does not exist (the native tree, x86-64) the stubs are
// ordinary functions taking the object first, as a member function is called there; they
// record the slot all the same.
//
//   StubObject<IComponent> fake{Entry(&Stub2<0>), Entry(&Stub2<1>)};
//   EXPECT_SLOT(1, fake.get()->GetInterface("x", 0));
#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <typeinfo>
#include <vector>

namespace kvtest {

using Word = std::uintptr_t;  // one argument or result: a stack slot or register

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

#if defined(_WIN32) && defined(__i386__)
#define KV_SLOT_CALL __attribute__((thiscall))
#else
#define KV_SLOT_CALL
#endif

template <int N>
Word KV_SLOT_CALL Stub0(void* self) {
    return RecordSlot(N, self);
}
template <int N>
Word KV_SLOT_CALL Stub1(void* self, Word a) {
    return RecordSlot(N, self, a, a);
}
template <int N>
Word KV_SLOT_CALL Stub2(void* self, Word a, Word b) {
    return RecordSlot(N, self, a, b);
}
template <int N>
Word KV_SLOT_CALL Stub3(void* self, Word a, Word, Word c) {
    return RecordSlot(N, self, a, c);
}
template <int N>
Word KV_SLOT_CALL Stub4(void* self, Word a, Word, Word, Word d) {
    return RecordSlot(N, self, a, d);
}
template <int N>
Word KV_SLOT_CALL Stub5(void* self, Word a, Word, Word, Word, Word e) {
    return RecordSlot(N, self, a, e);
}
template <int N>
Word KV_SLOT_CALL Stub6(void* self, Word a, Word, Word, Word, Word, Word f) {
    return RecordSlot(N, self, a, f);
}

#undef KV_SLOT_CALL

// A table entry.
template <class F>
const void* Entry(F f) {
    return reinterpret_cast<const void*>(f);
}

// An object of `Class` over a table of stubs, for both trees. In front of the entries
// lie the two words the Itanium C++ ABI (GCC and clang, mingw included) keeps before
// every vtable: the offset to the whole object and its type information. The native
// tree's sanitizer reads them on every virtual call to check the object's type, and
// finds a `Class`. Behind the table pointer the object has the size of a `Class`, so a
// call on a concrete class passes the size check too.
//
// A class marked final has its calls bound at compile time; its own slots are reached
// through a member pointer, which is called through the table: (object->*&C::Slot)().
template <class Class>
class alignas(Class) StubObject {
public:
    StubObject(std::initializer_list<const void*> entries)
        : words_{nullptr /* the whole object lies at offset 0 */, &typeid(Class)} {
        words_.insert(words_.end(), entries.begin(), entries.end());
        vtable_ = words_.data() + 2;
    }
    StubObject(const StubObject&) = delete;
    StubObject& operator=(const StubObject&) = delete;

    Class* get() {
        // Handed out through a volatile: the compiler then knows nothing of the object, so
        // it neither warns about the implementation it guesses the calls reach (GCC
        // guesses the one class of the program it sees implementing an interface) nor
        // folds a call on that guess.
        Class* volatile object = reinterpret_cast<Class*>(this);
        return object;
    }

private:
    const void* const* vtable_;  // first, where every object keeps its table pointer
    unsigned char rest_[sizeof(Class) > sizeof(void*) ? sizeof(Class) - sizeof(void*) : 1] = {};
    std::vector<const void*> words_;
};

// The same over a bare table of entries the test lays out itself. Only where no
// sanitizer checks the object's type (the Windows tree); StubObject serves both.
struct FakeObject {
    const void* const* vtable;
};

template <class Interface>
Interface* AsInterface(FakeObject& fake) {
    return reinterpret_cast<Interface*>(&fake);
}

}  // namespace kvtest

// `call` on the object `fake` (a StubObject or FakeObject) reaches slot `n`, with `fake`
// as this.
#define EXPECT_SLOT(n, call)                                    \
    do {                                                        \
        ::kvtest::g_slot = -1;                                  \
        ::kvtest::g_this = nullptr;                             \
        call;                                                   \
        EXPECT_EQ(n, ::kvtest::g_slot);                         \
        EXPECT_EQ(static_cast<void*>(&fake), ::kvtest::g_this); \
    } while (0)
