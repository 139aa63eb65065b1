#pragma once
// A worker thread that a library can be unloaded under. Waiting for a thread's exit
// while the library unloads deadlocks on the loader lock, and a thread that returns
// races the unmapping of its code. So a worker never returns: whatever way its body
// ends, its last act is to signal "parked" and wait on an event nobody sets. The
// unloading side waits (bounded) for "parked" and then terminates the thread.
#include <windows.h>

#include "win32/handles.h"

class ParkedThread {
public:
    using Body = void (*)(void* context);

    // Starts `body(context)` on a new thread (CreateThread: nothing of the C++ runtime
    // is left to run after the body) and returns once the thread runs: a thread still
    // attaching to the process's libraries needs the loader lock, which an unloading
    // host holds, and could then never park.
    bool Start(Body body, void* context);
    bool started() const { return static_cast<bool>(thread_); }
    // Waits up to `parkTimeoutMs` for the worker to park, then ends it. The caller has
    // told the body to finish. Not for process exit, where the thread is gone already.
    void Stop(DWORD parkTimeoutMs);

private:
    static DWORD WINAPI Run(void* self);

    Body body_ = nullptr;
    void* context_ = nullptr;
    UniqueHandle running_;
    UniqueHandle parked_;
    UniqueHandle never_;
    UniqueHandle thread_;
};
