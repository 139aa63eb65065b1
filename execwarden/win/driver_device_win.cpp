#include "driver_device_win.h"

bool DriverDevice::Open() {
    device_.reset(CreateFileA("\\\\.\\ProcWatchDriver", GENERIC_READ | GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_FLAG_OVERLAPPED, nullptr));
    return open();
}

bool DriverDevice::OpenDriverEvent() {
    static const char* const kNames[] = {
        "ProcWatchDriverProcessEvent",          "\\BaseNamedObjects\\ProcWatchDriverProcessEvent",
        "Global\\ProcWatchDriverProcessEvent",  "Local\\ProcWatchDriverProcessEvent",
        "Session\\ProcWatchDriverProcessEvent", "BaseNamedObjects\\ProcWatchDriverProcessEvent",
    };
    for (const char* name : kNames) {
        event_.reset(OpenEventA(SYNCHRONIZE, FALSE, name));
        if (event_) return true;
    }
    return false;
}

void DriverDevice::Close() {
    event_.reset();
    device_.reset();
    done_.reset();
}

DriverDevice::Result DriverDevice::Control(DWORD code, void* out, DWORD outSize, DWORD* written,
                                           HANDLE stop) {
    *written = 0;
    if (!done_) done_.reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    if (!done_ || !device_) return Result::kFailed;
    OVERLAPPED overlapped{};
    overlapped.hEvent = done_.get();
    if (!DeviceIoControl(device_.get(), code, nullptr, 0, out, outSize, nullptr, &overlapped) &&
        GetLastError() != ERROR_IO_PENDING)
        return Result::kFailed;
    if (stop != nullptr) {
        HANDLE waits[] = {done_.get(), stop};
        if (WaitForMultipleObjects(2, waits, FALSE, INFINITE) != WAIT_OBJECT_0) {
            CancelIo(device_.get());
            GetOverlappedResult(device_.get(), &overlapped, written, TRUE);
            *written = 0;
            return Result::kStopped;
        }
    }
    return GetOverlappedResult(device_.get(), &overlapped, written, TRUE) ? Result::kDone
                                                                          : Result::kFailed;
}
