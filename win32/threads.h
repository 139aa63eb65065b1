#pragma once
// Threads that a library can be unloaded under.
//
// Waiting for a thread's exit while the library unloads deadlocks on the loader lock (a
// thread that returns or calls ExitThread needs it to finish), and a thread that simply
// returns races the unmapping of its code. So a worker never returns: whatever way its
// body ends, its last act is to signal "parked" and enter an alertable wait, in one call,
// outside this library's code. The unload waits (bounded) for "parked" and queues an APC
// that calls ExitThread there; the thread finishes once the unload has released the
// loader lock and runs no instruction of the library on the way. A thread must not end
// itself with TerminateThread either: the loader would keep its per-thread state, and the
// next library with thread-local data loaded into the process crashes (seen under Wine).
// A thread that does not park in time is terminated, and the unload waits until it is
// gone before it closes the handle and lets the library go.
//
// A body that holds a reference to the library of its own may end its thread itself
// instead, with FreeLibraryAndExitThread on that reference (after which it never parks,
// and End is not called): then no unload ever happens under it.
#include "win32/handles.h"

namespace kvwin {

class ParkedThread {
public:
    using Body = void (*)(void* context);

    ParkedThread() = default;
    ParkedThread(const ParkedThread&) = delete;
    ParkedThread& operator=(const ParkedThread&) = delete;

    // Starts `body(context)` on a new thread (CreateThread: no runtime code is left to run
    // after the body) and returns once the thread runs, or after `runningTimeoutMs`: a
    // thread still attaching to the process's libraries needs the loader lock, which an
    // unloading host holds, and could then never park. False when the thread cannot be
    // made or does not run in time (it is ended then).
    bool Start(Body body, void* context, DWORD runningTimeoutMs = 10000);
    bool started() const { return static_cast<bool>(thread_); }
    // Signalled once the body has returned and the thread is parked.
    HANDLE parked() const { return parked_.get(); }
    DWORD threadId() const { return threadId_; }

    // Ends the thread; the caller has told the body to finish. Waits up to `graceMs` for
    // it to park, then ends it as described above. Safe to call twice or before Start.
    // Not at process exit: the other threads are gone already, use Abandon.
    void End(DWORD graceMs);
    // At process exit: forgets the thread without waiting for or ending anything.
    void Abandon();

private:
    static DWORD WINAPI Run(void* self);

    Body body_ = nullptr;
    void* context_ = nullptr;
    UniqueHandle running_;
    UniqueHandle parked_;
    UniqueHandle never_;
    UniqueHandle thread_;
    DWORD threadId_ = 0;
};

// How a library is being detached, for code that runs during the detach (static
// destructors). Record it from DllMain's DLL_PROCESS_DETACH.
void RecordProcessDetach(void* reserved);
// True once DLL_PROCESS_DETACH came with a non-null reserved argument: the process is
// exiting, its other threads are gone, and nothing may be waited for or locked.
bool ProcessIsExiting();
// True once DLL_PROCESS_DETACH came from FreeLibrary.
bool UnloadingByFreeLibrary();

}  // namespace kvwin
