#pragma once
// Owners for Win32 handles: every HANDLE, HKEY, SC_HANDLE, HINTERNET, HMODULE, mapping
// view and GDI object is closed by its owner, whatever path the code leaves by.
#include <windows.h>
// clang-format off: the ones below need windows.h first.
#include <objbase.h>
#include <setupapi.h>
#include <shtypes.h>
#include <wininet.h>
#include <winsvc.h>
// clang-format on

#include <utility>

// A move-only owner of one resource of type T whose "none" value is Invalid and
// which is released by Close(value).
template <class T, T Invalid(), void Close(T)>
class UniqueAny {
public:
    UniqueAny() : value_(Invalid()) {}
    explicit UniqueAny(T value) : value_(value) {}
    ~UniqueAny() { reset(); }
    UniqueAny(UniqueAny&& other) noexcept : value_(other.release()) {}
    UniqueAny& operator=(UniqueAny&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    UniqueAny(const UniqueAny&) = delete;
    UniqueAny& operator=(const UniqueAny&) = delete;

    T get() const { return value_; }
    explicit operator bool() const { return value_ != Invalid(); }
    T release() { return std::exchange(value_, Invalid()); }
    void reset(T value = Invalid()) {
        T old = std::exchange(value_, value);
        if (old != Invalid()) Close(old);
    }

private:
    T value_;
};

namespace handle_detail {
inline HANDLE NullHandle() {
    return nullptr;
}
inline HANDLE InvalidFile() {
    return INVALID_HANDLE_VALUE;
}
inline void CloseKernelHandle(HANDLE h) {
    CloseHandle(h);
}
inline HMODULE NullModule() {
    return nullptr;
}
inline void ReleaseModule(HMODULE m) {
    FreeLibrary(m);
}
inline const void* NullView() {
    return nullptr;
}
inline void UnmapView(const void* view) {
    UnmapViewOfFile(view);
}
inline HKEY NullKey() {
    return nullptr;
}
inline void CloseKey(HKEY key) {
    RegCloseKey(key);
}
inline SC_HANDLE NullService() {
    return nullptr;
}
inline void CloseService(SC_HANDLE service) {
    CloseServiceHandle(service);
}
inline HINTERNET NullInternet() {
    return nullptr;
}
inline void CloseInternet(HINTERNET handle) {
    InternetCloseHandle(handle);
}
inline HDEVINFO InvalidDevInfo() {
    return INVALID_HANDLE_VALUE;
}
inline void DestroyDevInfo(HDEVINFO set) {
    SetupDiDestroyDeviceInfoList(set);
}
inline HGDIOBJ NullGdiObject() {
    return nullptr;
}
inline void DeleteGdiObject(HGDIOBJ object) {
    DeleteObject(object);
}
inline void CloseFind(HANDLE search) {
    FindClose(search);
}
inline LPITEMIDLIST NullItemList() {
    return nullptr;
}
inline void FreeItemList(LPITEMIDLIST list) {
    // The shell hands out item lists from the task allocator.
    CoTaskMemFree(list);
}
}  // namespace handle_detail

// Handles whose "none" is null: events, mappings, threads, processes.
using UniqueHandle = UniqueAny<HANDLE, handle_detail::NullHandle, handle_detail::CloseKernelHandle>;
// Handles from CreateFile, whose "none" is INVALID_HANDLE_VALUE.
using UniqueFile = UniqueAny<HANDLE, handle_detail::InvalidFile, handle_detail::CloseKernelHandle>;
using UniqueModule = UniqueAny<HMODULE, handle_detail::NullModule, handle_detail::ReleaseModule>;
using UniqueView = UniqueAny<const void*, handle_detail::NullView, handle_detail::UnmapView>;
using UniqueKey = UniqueAny<HKEY, handle_detail::NullKey, handle_detail::CloseKey>;
// Service-manager and service handles (advapi32).
using UniqueService = UniqueAny<SC_HANDLE, handle_detail::NullService, handle_detail::CloseService>;
// WinINet session, connection and request handles (wininet).
using UniqueInternet =
    UniqueAny<HINTERNET, handle_detail::NullInternet, handle_detail::CloseInternet>;
// SetupAPI device-information sets (setupapi), whose "none" is INVALID_HANDLE_VALUE.
using UniqueDevInfo =
    UniqueAny<HDEVINFO, handle_detail::InvalidDevInfo, handle_detail::DestroyDevInfo>;
// Brushes, pens and other GDI objects that are not selected into a device context (gdi32).
using UniqueGdiObject =
    UniqueAny<HGDIOBJ, handle_detail::NullGdiObject, handle_detail::DeleteGdiObject>;
// Directory searches from FindFirstFile, whose "none" is INVALID_HANDLE_VALUE and which
// FindClose ends (not CloseHandle).
using UniqueFind = UniqueAny<HANDLE, handle_detail::InvalidFile, handle_detail::CloseFind>;
// Shell item lists (SHGetSpecialFolderLocation and the like), freed with the task
// allocator (ole32).
using UniqueItemList =
    UniqueAny<LPITEMIDLIST, handle_detail::NullItemList, handle_detail::FreeItemList>;

// GetProcAddress with the function type the caller documents; the detour through
// void* keeps the compiler from warning about the cast between function types.
template <class Fn>
Fn ProcAddress(HMODULE module, const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}
