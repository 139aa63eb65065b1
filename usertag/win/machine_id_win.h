#pragma once
// Reads the machine's facts for the identifier: firmware and processor texts from the
// registry, the NetBIOS adapter address and the model of the first fixed disk.
#include <windows.h>

#include "machine_id.h"

// Where the facts are read. The defaults are the machine's own; tests point the reader at
// keys of their own and at stand-in devices.
struct MachineIdSources {
    HKEY root = HKEY_LOCAL_MACHINE;
    const char* firmwareKey = "HARDWARE\\DESCRIPTION\\System";
    const char* processorKey = "HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0";
    const char* smartDevice = "\\\\.\\PhysicalDrive0";
    const char* scsiDevice = "\\\\.\\Scsi0:";
};

// The keys are only read. Asking for more (set-value, create-subkey) fails for accounts
// without write rights on them, which then saw empty texts and another identifier.
constexpr REGSAM kMachineKeyAccess = KEY_READ;

// Every fact that cannot be read is an empty text.
MachineFacts ReadMachineFacts(const MachineIdSources& sources = MachineIdSources());

// A registry value as the identifier sees it: the bytes up to the first zero within 1,024
// bytes, whatever the value's type; empty when the value is missing or longer.
std::string ReadKeyText(HKEY key, const char* value);

// The identifier of this machine into `buffer`: false, untouched, when `capacity` is below
// 32; otherwise `capacity` bytes zeroed and 16 digits written.
bool ComputeMachineId(char* buffer, int capacity);
