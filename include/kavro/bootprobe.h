#ifndef KAVRO_BOOTPROBE_H
#define KAVRO_BOOTPROBE_H
// BootProbe.dll for its hosts: the names under which the library exports its two checks,
// and their function types. A host loads the library and finds each export with
// GetProcAddress(module, kavro::kBootProbe...Name), as a kavro::BootProbe...* pointer.
//
// Both exports are stdcall, under their undecorated names; both answer 1 for yes and 0
// for no. Callers serialise their calls.
//
// Plain C++ for any 32-bit Windows compiler; it needs no windows.h.
#include "abi.h"

namespace kavro {

// Whether the file at `fileName` (an ANSI path) carries a signature: one the system's
// trust verification accepts (a catalog signature or an embedded one), or else an
// attribute certificate right after the image's last section. Returns 1 when signed.
// `state` receives a kBootProbeSign... value.
typedef int KAVRO_STDCALL BootProbeCheckSign(const char* fileName, int* state);
const char kBootProbeCheckSignName[] = "CheckSign";

const int kBootProbeSignUnread = 0;   // the file cannot be opened or mapped, or is tiny
const int kBootProbeSignAbsent = 1;   // the file was read and no signature was found
const int kBootProbeSignPresent = 2;  // the file is signed

// The Windows folder of the installed system when the suite runs from a boot medium:
// from a boot.ini "default=" line on a drive from C: up to the running system's drive,
// else from the first folder found holding a win.ini (at most two levels below a drive's
// root). The `length`-byte buffer is cleared and always receives a NUL-terminated text.
// Returns 1 when a folder was found.
typedef int KAVRO_STDCALL BootProbeCheckHost(char* buffer, int length);
const char kBootProbeCheckHostName[] = "CheckHost";

}  // namespace kavro

#endif  // KAVRO_BOOTPROBE_H
