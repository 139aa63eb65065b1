#pragma once
// The process-creation driver's device and its event.
#include "win32/handles.h"

constexpr DWORD kStartReporting = 0x80002004;
constexpr DWORD kStopReporting = 0x80002008;
constexpr DWORD kReadLatest = 0x8000200C;

class DriverDevice {
public:
    // Opens "\\.\ProcWatchDriver" for overlapped requests.
    bool Open();
    // Opens the driver's named event (synchronize access), trying the names that the
    // driver may have used in turn. Under Wine only "Global\..." opens.
    bool OpenDriverEvent();
    // Drops the event and the device.
    void Close();

    bool open() const { return static_cast<bool>(device_); }
    HANDLE event() const { return event_.get(); }

    enum class Result { kDone, kFailed, kStopped };
    // Sends `code` with no input and waits for it to complete (one request at a time). With `stop`,
    // a signalled stop cancels the request and answers kStopped. `*written` gets the bytes
    // returned.
    Result Control(DWORD code, void* out, DWORD outSize, DWORD* written, HANDLE stop);

private:
    UniqueFile device_;
    UniqueHandle event_;
    UniqueHandle done_;  // manual-reset, one request at a time
};
