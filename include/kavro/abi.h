#ifndef KAVRO_ABI_H
#define KAVRO_ABI_H
// What the suite's host headers share: the calling conventions of slots and exports.
//
// Plain C++ for any 32-bit Windows compiler; it needs no windows.h.

// Every slot of every interface: thiscall (`this` in ECX, the callee pops its arguments).
// It is the default for member functions of Microsoft's compiler and of GCC and clang
// targeting 32-bit Windows; naming it keeps a compiler that defaults otherwise from
// choosing another convention without a word.
#if defined(_WIN32) && (defined(_M_IX86) || defined(__i386__))
#define KAVRO_SLOT __thiscall
#else
#define KAVRO_SLOT
#endif

// The exports: GetKavroComponentPtr is cdecl, BootProbe's checks are stdcall.
#if defined(_WIN32)
#define KAVRO_CDECL __cdecl
#define KAVRO_STDCALL __stdcall
#elif defined(__GNUC__) && defined(__i386__)
#define KAVRO_CDECL __attribute__((cdecl))
#define KAVRO_STDCALL __attribute__((stdcall))
#else
#define KAVRO_CDECL
#define KAVRO_STDCALL
#endif

#endif  // KAVRO_ABI_H
