#pragma once
// The handler interface that a host implements and registers with the process monitor.
// Slot order is an ABI with hosts built by other compilers (thiscall, one slot).
#include <windows.h>

class IExecuteCallback {
public:
    // Slot 0. Asked about each new process on the monitor's worker thread, one call at a
    // time. Here `verb`, `parameters` and `directory` are always "", `file` is the full
    // image path ("" when it could not be found) and `module` the image's load address
    // (0 with an empty path). Nonzero allows the process; zero blocks it, and the monitor
    // then terminates it with exit code 0 without asking later handlers.
    virtual unsigned char OnExecute(const char* verb, const char* file, const char* parameters,
                                    const char* directory, DWORD processId, HMODULE module) = 0;
};
