#pragma once
// Sends one sample file as a multipart form, with progress reports before every step
// and cancellation from another thread. One object serves all files of a run; it is
// used on the worker thread, except Cancel. Nothing throws out of it.
#include <atomic>
#include <cstdint>
#include <string>

#include "http_client_win.h"
#include "request_common.h"

// Progress of an upload: value and file bytes posted so far and in all. The result is
// ignored.
using UploadProgressFn = int (*)(uint32_t posted, uint32_t total, void* user);

class UploadRequest final {
public:
    // Bits of the flag word.
    enum : uint32_t {
        kUploading = 1,        // an upload is running
        kOnTheWire = 2,        // its request has been sent
        kCancelRequested = 4,  // Cancel was called during it
        kCancelOther = 8,      // treated like kCancelRequested; nothing here sets it
    };

    UploadRequest();

    // Slot 0. Adds a parameter; a nonzero `isFile` makes `value` a file path whose
    // content is sent. 1, or 0 when it could not be added.
    virtual int AddParam(const char* name, const char* value, int isFile);
    // Slot 1. Posts the parameters to `url`. `callback` (kept, with `user`, for later
    // uploads that pass none) is called before every step. 0 when the server answered
    // 200 and its body was read, 1 when the request could not be sent, 2 on any other
    // failure (a file that cannot be opened or is 4 GiB or more included: nothing is
    // sent then; also when the deadline passed), 3 when cancelled. The parameters are gone
    // afterwards.
    virtual int Upload(const char* url, UploadProgressFn callback, void* user);
    // Slot 2. The body of the last successful Upload; failures leave it as it was.
    virtual const std::string& GetText();
    // Slot 3. Asks a running Upload to stop: a step, a read or a wait for the server ends
    // at once. Does nothing when no upload runs. Safe from any thread.
    virtual void Cancel();

    // Connect, send and receive limits (30 s each unless set).
    void SetTimeouts(DWORD ms) { client_.SetTimeouts(ms, ms, ms); }
    // The whole upload's limit beyond what its body needs (kRequestDeadlineMs unless set).
    void SetDeadline(DWORD ms) { client_.SetDeadline(ms, courier::kDeadlineMsPerKiB); }
    uint32_t Flags() const { return flags_.load(); }

private:
    bool CancelRequested() const {
        return (flags_.load() & (kCancelRequested | kCancelOther)) != 0;
    }
    int Run(const char* url);

    std::atomic<uint32_t> flags_{0};
    UniqueHandle stop_;  // set by Cancel: the client's waits end
    Torva::CHttpClientT client_;
    UploadProgressFn callback_ = nullptr;
    void* user_ = nullptr;
    std::string text_;
    bool connectionHeaderAdded_ = false;
};
