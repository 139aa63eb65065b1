#pragma once
// The system's trust verification of a file: a catalog of the system that lists the
// file's hash, or else a signature embedded in the file. One verifier serves the
// process; it loads the trust library on first use and keeps it while it lives, and
// remembers the content digests of the files it found trusted.
#include <windows.h>

#include <array>
#include <set>
#include <string>

#include "trust_layouts_win.h"
#include "win32/handles.h"

using Md5Digest = std::array<unsigned char, 16>;

class CTrustVerifier {
public:
    explicit CTrustVerifier(std::string libraryName) : libraryName_(std::move(libraryName)) {}
    CTrustVerifier(const CTrustVerifier&) = delete;
    CTrustVerifier& operator=(const CTrustVerifier&) = delete;

    // True when the file at `path`, whose content has the MD5 digest `digest`, was
    // found trusted before or the system trusts it now. Any failure on the way (no
    // trust library, a missing entry point, a file that cannot be opened) is "no".
    bool IsTrusted(const char* path, const Md5Digest& digest);

private:
    using AcquireContextFn = BOOL(WINAPI*)(HANDLE* admin, const GUID* subsystem, DWORD flags);
    using CalcHashFn = BOOL(WINAPI*)(HANDLE file, DWORD* hashSize, BYTE* hash, DWORD flags);
    using EnumCatalogFn = HANDLE(WINAPI*)(HANDLE admin, BYTE* hash, DWORD hashSize, DWORD flags,
                                          HANDLE* previous);
    using ReleaseContextFn = BOOL(WINAPI*)(HANDLE admin, DWORD flags);
    using CatalogInfoFn = BOOL(WINAPI*)(HANDLE catalog, CatalogInfo* info, DWORD flags);
    using ReleaseCatalogFn = BOOL(WINAPI*)(HANDLE admin, HANDLE catalog, DWORD flags);
    using VerifyTrustFn = LONG(WINAPI*)(HWND window, GUID* action, void* data);

    bool Load();
    bool SystemTrusts(const std::wstring& path);

    std::string libraryName_;
    bool loadTried_ = false;
    bool usable_ = false;
    UniqueModule library_;
    AcquireContextFn acquireContext_ = nullptr;
    CalcHashFn calcHash_ = nullptr;
    EnumCatalogFn enumCatalog_ = nullptr;
    ReleaseContextFn releaseContext_ = nullptr;
    CatalogInfoFn catalogInfo_ = nullptr;
    ReleaseCatalogFn releaseCatalog_ = nullptr;
    VerifyTrustFn verifyTrust_ = nullptr;

    std::set<Md5Digest> trusted_;
};
