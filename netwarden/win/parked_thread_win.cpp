#include "parked_thread_win.h"

namespace {

constexpr DWORD kRunningTimeoutMs = 10000;

}  // namespace

bool ParkedThread::Start(Body body, void* context) {
    body_ = body;
    context_ = context;
    running_.reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    parked_.reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    never_.reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    if (!running_ || !parked_ || !never_) return false;
    thread_.reset(CreateThread(nullptr, 0, &ParkedThread::Run, this, 0, nullptr));
    if (!thread_) return false;
    const HANDLE either[] = {running_.get(), thread_.get()};
    return WaitForMultipleObjects(2, either, FALSE, kRunningTimeoutMs) == WAIT_OBJECT_0;
}

void ParkedThread::Stop(DWORD parkTimeoutMs) {
    if (!thread_) return;
    WaitForSingleObject(parked_.get(), parkTimeoutMs);
    TerminateThread(thread_.get(), 0);
    // A terminated thread needs no loader lock: its handle is signalled at once, and
    // after that none of its instructions run in this library's code.
    WaitForSingleObject(thread_.get(), 1000);
    thread_.reset();
}

DWORD WINAPI ParkedThread::Run(void* self) {
    auto* thread = static_cast<ParkedThread*>(self);
    SetEvent(thread->running_.get());
    try {
        thread->body_(thread->context_);
    } catch (...) {
        // Nothing leaves the worker; it parks like after a normal end.
    }
    SignalObjectAndWait(thread->parked_.get(), thread->never_.get(), INFINITE, FALSE);
    return 0;
}
