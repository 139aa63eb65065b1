#pragma once
// WinINet calls that their caller can stop and that end by a deadline. A blocking WinINet
// call cannot be ended from outside (closing its handle from another thread does not
// return it, and a server that sends a byte now and then keeps every per-call timeout
// from ever firing), so a request's session runs in WinINet's asynchronous mode and the
// waiting is ours: each call ends when it completes, when the caller's stop event is set,
// or when the request's deadline has passed, whichever comes first.
#include <windows.h>

#include <wininet.h>

#include <cstdint>

#include "win32/handles.h"

namespace Torva {

// Closes `handle` after taking its status callback away, so that nothing of a call still
// under way reports to code that may be gone by then.
void CloseInternetSilently(HINTERNET handle);
// The owner of a handle of an asynchronous session.
using QuietInternet = UniqueAny<HINTERNET, handle_detail::NullInternet, CloseInternetSilently>;

// When the waits of one request end early.
struct CallLimits {
    HANDLE stop = nullptr;  // a manual-reset event that another thread may set; not owned
    bool timed = false;     // whether `deadline` holds
    DWORD deadline = 0;     // the GetTickCount() value at which every wait ends

    // Milliseconds left: INFINITE when untimed, 0 once past.
    DWORD Remaining() const;
    // Why calls must end now: ERROR_INTERNET_OPERATION_CANCELLED (stopped),
    // ERROR_INTERNET_TIMEOUT (past the deadline), or 0.
    DWORD Reason() const;
    // A deadline `ms` from now (more than about 24 days counts as none).
    static CallLimits Until(HANDLE stop, uint64_t ms);
};

// The calls of one session: the internet handle it opens, and every handle made under it
// with Context() as its context, complete into it.
class InternetCalls {
public:
    explicit InternetCalls(const CallLimits& limits);
    ~InternetCalls();
    InternetCalls(const InternetCalls&) = delete;
    InternetCalls& operator=(const InternetCalls&) = delete;

    const CallLimits& limits() const { return limits_; }
    DWORD_PTR Context() const { return reinterpret_cast<DWORD_PTR>(record_); }

    // InternetOpen in asynchronous mode with this object's status callback. Null on
    // failure, with GetLastError set.
    HINTERNET OpenSession(const char* agent, DWORD accessType, const char* proxy,
                          const char* proxyBypass, DWORD flags);

    // After a call that answered `ok`: true once it has succeeded. False, with the reason
    // in `error`, when it failed, the stop event was set or the deadline passed; a call
    // left pending then goes on in WinINet's own thread, and what it may still write to
    // (the buffers below) stays allocated for good.
    bool Complete(BOOL ok, DWORD* error);

    // Memory that a call may use after it has returned pending: never the caller's stack.
    INTERNET_BUFFERSA& Buffers();
    DWORD& Count();
    char* Scratch();
    static constexpr DWORD kScratchBytes = 8192;

private:
    struct Record;
    Record* record_;
    bool abandoned_ = false;  // a call was left pending: the record is its for good
    CallLimits limits_;
};

}  // namespace Torva
