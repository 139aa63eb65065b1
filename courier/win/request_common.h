#pragma once
// What the check and upload requests share: their result codes, the pace of a post and
// how an answer's body is read.
#include <cstdint>
#include <string>

#include "http_client_win.h"
#include "request_result.h"

namespace courier {

// A post goes out 1024 bytes per step with a 5 ms pause between steps, so that a run
// never floods a slow uplink and cancelling takes effect at once.
constexpr DWORD kStepBytes = 1024;
constexpr DWORD kStepPauseMs = 5;

// The longest answer kept: one byte of the 10240-byte buffer stays NUL.
constexpr DWORD kAnswerBuffer = 10240;

// The result code of a client failure: 407 means the request never left.
inline int ResultOf(const Torva::httpclientexceptionA& e) {
    return e.LastError() == Torva::kHttpSendRequestExFailed ? kRequestNotSent : kRequestFailed;
}

enum class BodyRead { kRead, kTooLong, kCancelled };

// Reads the body of `response` into `text` (up to its first NUL byte). A body longer
// than kAnswerBuffer - 1 bytes is refused whole. `cancelled()` is asked after every read
// that returned data. Throws the client's errors.
template <class Cancelled>
BodyRead ReadAnswer(Torva::CHttpResponseT& response, std::string& text, Cancelled cancelled) {
    char buffer[kAnswerBuffer] = {};
    DWORD used = 0;
    for (;;) {
        const DWORD room = kAnswerBuffer - 1 - used;
        if (room == 0) {
            // Full: only the end of the body may follow.
            BYTE probe = 0;
            if (response.ReadContent(&probe, 1) != 0) return BodyRead::kTooLong;
            break;
        }
        const DWORD read = response.ReadContent(reinterpret_cast<BYTE*>(buffer) + used, room);
        if (read == 0) break;
        used += read;
        if (cancelled()) return BodyRead::kCancelled;
    }
    text = buffer;
    return BodyRead::kRead;
}

}  // namespace courier
