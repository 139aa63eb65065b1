// A second process that maps ExecWarden.dll:
//   execwarden_shared_peer                 reads what the parent left in the shared page
//                                          and answers in it
//   execwarden_shared_peer start-and-exit  starts the monitor and exits without unloading
#include <windows.h>

#include <cstring>
#include <string>

#include "process_monitor.h"
#include "program_folder_win.h"
#include "shared_page.h"

namespace {

int StartAndExit(HMODULE library) {
    auto factory = reinterpret_cast<GetKavroComponentPtrFn>(
        reinterpret_cast<void*>(GetProcAddress(library, "GetKavroComponentPtr")));
    IComponent* component = nullptr;
    if (factory == nullptr || factory(&component, nullptr) != 1) return 2;
    auto* monitor = static_cast<IProcessMonitor*>(component->GetInterface(kProcessMonitorName, 0));
    if (monitor == nullptr || !monitor->Start()) return 3;
    // Leaving with the threads running: the library must not wait for them.
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    HMODULE library = LoadLibraryA(kvtest::BesideProgram("ExecWarden.dll").c_str());
    if (argc > 1 && std::strcmp(argv[1], "start-and-exit") == 0) return StartAndExit(library);
    SharedSection* shared = FindSharedSection(library);
    if (shared == nullptr) return 2;
    std::string reply =
        "seen: " + std::string(shared->parameters) + " " + std::to_string(Peek(shared->inEvent));
    CopyHookString(shared->directory, reply.c_str());
    FreeLibrary(library);
    return 0;
}
