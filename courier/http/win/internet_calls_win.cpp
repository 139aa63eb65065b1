#include "internet_calls_win.h"

#include <atomic>

namespace Torva {

namespace {

// What a call completes into. Allocated per session and freed with it, unless a call was
// left pending: WinINet may still write its results (and the buffers it was given) and
// signal the event, so the record then stays for good.
struct CallRecordData {
    UniqueHandle done{CreateEventA(nullptr, FALSE, FALSE, nullptr)};
    DWORD_PTR result = 0;
    DWORD error = 0;
    INTERNET_BUFFERSA buffers = {};
    DWORD count = 0;
    char scratch[InternetCalls::kScratchBytes] = {};
};

void CALLBACK OnStatus(HINTERNET, DWORD_PTR context, DWORD status, void* info, DWORD) {
    if (status != INTERNET_STATUS_REQUEST_COMPLETE || context == 0 || info == nullptr) return;
    auto* record = reinterpret_cast<CallRecordData*>(context);
    const auto* outcome = static_cast<const INTERNET_ASYNC_RESULT*>(info);
    record->result = outcome->dwResult;
    record->error = outcome->dwError;
    SetEvent(record->done.get());
}

// A call left pending at its deadline goes on inside WinINet until the server lets go of
// it: the library must stay mapped under it even when the host unloads everything else.
void PinWinInet() {
    static std::atomic<bool> pinned{false};
    if (pinned.exchange(true)) return;
    HMODULE module = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_PIN, "wininet.dll", &module);
}

}  // namespace

struct InternetCalls::Record : CallRecordData {};

DWORD CallLimits::Remaining() const {
    if (!timed) return INFINITE;
    const LONG left = static_cast<LONG>(deadline - GetTickCount());
    return left > 0 ? static_cast<DWORD>(left) : 0;
}

DWORD CallLimits::Reason() const {
    if (stop != nullptr && WaitForSingleObject(stop, 0) == WAIT_OBJECT_0) {
        return ERROR_INTERNET_OPERATION_CANCELLED;
    }
    return timed && Remaining() == 0 ? ERROR_INTERNET_TIMEOUT : 0;
}

CallLimits CallLimits::Until(HANDLE stop, uint64_t ms) {
    CallLimits limits;
    limits.stop = stop;
    // Tick arithmetic wraps after 49 days: a deadline further than half of that is none.
    if (ms < 0x7FFFFFFFu) {
        limits.timed = true;
        limits.deadline = GetTickCount() + static_cast<DWORD>(ms);
    }
    return limits;
}

void CloseInternetSilently(HINTERNET handle) {
    InternetSetStatusCallbackA(handle, nullptr);
    InternetCloseHandle(handle);
}

InternetCalls::InternetCalls(const CallLimits& limits) : record_(new Record), limits_(limits) {
    PinWinInet();
}

InternetCalls::~InternetCalls() {
    if (!abandoned_) delete record_;
}

HINTERNET InternetCalls::OpenSession(const char* agent, DWORD accessType, const char* proxy,
                                     const char* proxyBypass, DWORD flags) {
    if (!record_->done) return nullptr;
    HINTERNET session =
        InternetOpenA(agent, accessType, proxy, proxyBypass, flags | INTERNET_FLAG_ASYNC);
    // Handles made under the session inherit the callback.
    if (session != nullptr) InternetSetStatusCallbackA(session, &OnStatus);
    return session;
}

bool InternetCalls::Complete(BOOL ok, DWORD* error) {
    if (ok) return true;
    *error = GetLastError();
    if (abandoned_) return false;
    if (*error != ERROR_IO_PENDING) return false;
    const HANDLE waits[] = {record_->done.get(), limits_.stop};
    const DWORD count = limits_.stop != nullptr ? 2 : 1;
    if (WaitForMultipleObjects(count, waits, FALSE, limits_.Remaining()) == WAIT_OBJECT_0) {
        *error = record_->error;
        return record_->result != 0;
    }
    *error = limits_.Reason() != 0 ? limits_.Reason() : ERROR_INTERNET_TIMEOUT;
    // The call is still under way and owns the record now; the session is done for.
    abandoned_ = true;
    return false;
}

INTERNET_BUFFERSA& InternetCalls::Buffers() {
    return record_->buffers;
}

DWORD& InternetCalls::Count() {
    return record_->count;
}

char* InternetCalls::Scratch() {
    return record_->scratch;
}

}  // namespace Torva
