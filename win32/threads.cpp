#include "win32/threads.h"

namespace kvwin {

namespace {

enum class Detach { kNone, kFreeLibrary, kProcessExit };
Detach g_detach = Detach::kNone;

UniqueHandle ManualEvent() {
    return UniqueHandle(CreateEventA(nullptr, TRUE, FALSE, nullptr));
}

// The APC is ExitThread itself (same stdcall shape: one pointer-sized argument), never a
// function of this library: the thread may run it only after the library is unmapped.
PAPCFUNC ExitThreadApc() {
    return reinterpret_cast<PAPCFUNC>(reinterpret_cast<void*>(&ExitThread));
}

}  // namespace

bool ParkedThread::Start(Body body, void* context, DWORD runningTimeoutMs) {
    if (thread_) return true;
    body_ = body;
    context_ = context;
    running_ = ManualEvent();
    parked_ = ManualEvent();
    never_ = ManualEvent();
    if (!running_ || !parked_ || !never_) return false;
    thread_.reset(CreateThread(nullptr, 0, &ParkedThread::Run, this, 0, &threadId_));
    if (!thread_) return false;
    const HANDLE either[] = {running_.get(), thread_.get()};
    if (WaitForMultipleObjects(2, either, FALSE, runningTimeoutMs) == WAIT_OBJECT_0) return true;
    // Not running in time: it never started its body, so it may go by force.
    TerminateThread(thread_.get(), 0);
    WaitForSingleObject(thread_.get(), INFINITE);
    thread_.reset();
    return false;
}

void ParkedThread::End(DWORD graceMs) {
    if (!thread_) return;
    const HANDLE waits[] = {parked_.get(), thread_.get()};
    const DWORD ended = WaitForMultipleObjects(2, waits, FALSE, graceMs);
    if (ended == WAIT_OBJECT_0) {
        // Parked outside this library's code: the APC runs ExitThread there, which
        // completes once the unload has released the loader lock.
        QueueUserAPC(ExitThreadApc(), thread_.get(), 0);
        // Until then the thread's wait still names these two events: woken for the APC,
        // Wine asks for the signal and the wait again, and with a closed handle the call
        // fails and returns into this library's code, which is about to be unmapped. So
        // they are not closed here; they go with the thread (two handles an unload).
        parked_.release();
        never_.release();
    } else if (ended != WAIT_OBJECT_0 + 1) {
        // Stuck in a call that does not return: the last resort. A terminated thread
        // needs no lock to end, so waiting for it cannot deadlock; until it is gone it
        // may still be running this library's code.
        TerminateThread(thread_.get(), 0);
        WaitForSingleObject(thread_.get(), INFINITE);
    }
    thread_.reset();
}

void ParkedThread::Abandon() {
    thread_.release();
}

DWORD WINAPI ParkedThread::Run(void* self) {
    auto* thread = static_cast<ParkedThread*>(self);
    SetEvent(thread->running_.get());
    try {
        thread->body_(thread->context_);
    } catch (...) {
        // Nothing leaves the worker; it parks as after a normal end.
    }
    for (;;) SignalObjectAndWait(thread->parked_.get(), thread->never_.get(), INFINITE, TRUE);
}

void RecordProcessDetach(void* reserved) {
    g_detach = reserved == nullptr ? Detach::kFreeLibrary : Detach::kProcessExit;
}

bool ProcessIsExiting() {
    return g_detach == Detach::kProcessExit;
}

bool UnloadingByFreeLibrary() {
    return g_detach == Detach::kFreeLibrary;
}

}  // namespace kvwin
