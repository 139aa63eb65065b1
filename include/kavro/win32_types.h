#ifndef KAVRO_WIN32_TYPES_H
#define KAVRO_WIN32_TYPES_H
// The few Win32 types that the suite's interfaces name, declared exactly as windef.h and
// minwindef.h declare them (with windows.h's default STRICT handle types), so windows.h
// may be included before or after any of our headers. A program built with NO_STRICT sees
// HWND as a void pointer and cannot use these headers.
//
// Plain C++ for any 32-bit Windows compiler; it needs no windows.h.
struct HWND__;
typedef struct HWND__* HWND;
struct HINSTANCE__;
typedef struct HINSTANCE__* HINSTANCE;
typedef HINSTANCE HMODULE;
typedef unsigned long DWORD;
typedef unsigned int UINT;

#endif  // KAVRO_WIN32_TYPES_H
