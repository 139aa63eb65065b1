// A library with one worker thread, ended when the library unloads, as the components end
// theirs. StartProbe(0, grace) starts a worker that finishes when told; StartProbe(1,
// grace) one stuck in this library's code that never looks. Answers the worker's id.
#include "win32/threads.h"

namespace {

struct Probe {
    UniqueHandle stop{CreateEventA(nullptr, TRUE, FALSE, nullptr)};
    kvwin::ParkedThread worker;
    DWORD graceMs = 0;

    ~Probe() {
        if (kvwin::ProcessIsExiting()) {
            worker.Abandon();
            return;
        }
        SetEvent(stop.get());
        worker.End(graceMs);
    }
};

Probe g_probe;

void FinishesWhenTold(void*) {
    WaitForSingleObject(g_probe.stop.get(), INFINITE);
}

void NeverLooks(void*) {
    for (volatile unsigned spins = 0;; spins = spins + 1) Sleep(1);
}

}  // namespace

extern "C" DWORD __cdecl StartProbe(int mode, DWORD graceMs) {
    g_probe.graceMs = graceMs;
    if (!g_probe.worker.Start(mode == 0 ? FinishesWhenTold : NeverLooks, nullptr)) return 0;
    return g_probe.worker.threadId();
}

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_DETACH) kvwin::RecordProcessDetach(reserved);
    return TRUE;
}
