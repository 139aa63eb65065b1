// A host that initialises NetWarden.dll and ends its process with the workers running.
#include <windows.h>

#include "call_slot.h"

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    HMODULE library = LoadLibraryA(argv[1]);
    if (library == nullptr) return 3;
    using Factory = int(__cdecl*)(void**, void*);
    auto factory = reinterpret_cast<Factory>(
        reinterpret_cast<void*>(GetProcAddress(library, "GetKavroComponentPtr")));
    void* object = nullptr;
    if (factory == nullptr || factory(&object, nullptr) != 1) return 4;
    if (!kvtest::CallSlot<bool>(object, 3)) return 5;  // Initialize
    Sleep(200);  // both workers are inside their rounds now
    return 0;
}
