/* Stands in for the system's IP filter driver service, which Wine does not have: it only
 * loads and unloads. */
#include <ntddk.h>

static void WINAPI Unload(PDRIVER_OBJECT driver) {
    (void)driver;
}

NTSTATUS WINAPI DriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING registryPath) {
    (void)registryPath;
    driver->DriverUnload = Unload;
    return STATUS_SUCCESS;
}
