// A portable-core source that includes windows.h: its build must fail.
#include <windows.h>

int PortableGuardProbe() {
    return 0;
}
