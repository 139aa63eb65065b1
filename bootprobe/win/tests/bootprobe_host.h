#pragma once
// A host of BootProbe.dll that knows only its exports: the library is loaded from the
// directory of the test program for each test and unloaded after it.
#include <windows.h>

#include <string>

#include "program_folder_win.h"

class BootProbeHost {
public:
    using CheckSignFn = BOOL(WINAPI*)(const char* fileName, int* state);
    using CheckHostFn = BOOL(WINAPI*)(char* buffer, int length);

    BootProbeHost() {
        module_ = LoadLibraryA(kvtest::BesideProgram("BootProbe.dll").c_str());
        if (module_ == nullptr) return;
        checkSign = reinterpret_cast<CheckSignFn>(
            reinterpret_cast<void*>(GetProcAddress(module_, "CheckSign")));
        checkHost = reinterpret_cast<CheckHostFn>(
            reinterpret_cast<void*>(GetProcAddress(module_, "CheckHost")));
    }
    ~BootProbeHost() {
        if (module_ != nullptr) FreeLibrary(module_);
    }
    BootProbeHost(const BootProbeHost&) = delete;
    BootProbeHost& operator=(const BootProbeHost&) = delete;

    bool ready() const { return checkSign != nullptr && checkHost != nullptr; }

    CheckSignFn checkSign = nullptr;
    CheckHostFn checkHost = nullptr;

private:
    HMODULE module_ = nullptr;
};
