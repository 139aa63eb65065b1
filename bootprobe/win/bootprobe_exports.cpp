// The plain exports of BootProbe.dll (standard call, names undecorated through
// BootProbe.def). Nothing may throw across them; callers serialise.
#include <windows.h>

#include "host_file_system_win.h"
#include "kavro/bootprobe.h"
#include "sign_check_win.h"

namespace {

// Loaded on the first CheckSign and kept until the library unloads.
CTrustVerifier& TheTrustVerifier() {
    static CTrustVerifier verifier("WinTrust.dll");
    return verifier;
}

}  // namespace

extern "C" {

// The exports as hosts declare them: a definition below that differs from its host's
// declaration in a type or the calling convention does not compile.
kavro::BootProbeCheckSign CheckSign;
kavro::BootProbeCheckHost CheckHost;

BOOL WINAPI CheckSign(const char* fileName, int* state) {
    try {
        return CheckSignature(TheTrustVerifier(), fileName, state);
    } catch (...) {
        return FALSE;
    }
}

BOOL WINAPI CheckHost(char* buffer, int length) {
    try {
        Win32HostFileSystem drives;
        return FindHostDirectory(drives, buffer, length);
    } catch (...) {
        return FALSE;
    }
}

}  // extern "C"
