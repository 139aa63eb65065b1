#pragma once
// What the check and upload requests share: their result codes, the pace and deadline of
// a post and how its answer is read.
#include <algorithm>
#include <cstdint>
#include <string>

#include "http_answer.h"
#include "http_client_win.h"
#include "request_result.h"

namespace courier {

// A post goes out 1024 bytes per step with a 5 ms pause between steps, so that a run
// never floods a slow uplink and cancelling takes effect at once.
constexpr DWORD kStepBytes = 1024;
constexpr DWORD kStepPauseMs = 5;

// The longest answer taken; a longer one is refused whole.
constexpr size_t kAnswerCap = 10239;

// How long one request may take, from its open to the last byte of its answer, beyond
// what its body needs at the pace above (kDeadlineMsPerKiB for every KiB, four times the
// pace itself): every connect, send and receive has its own limit as well, but a server
// that answers a byte now and then would meet each of them and hold a run for hours.
constexpr DWORD kRequestDeadlineMs = 60000;
constexpr DWORD kDeadlineMsPerKiB = 4 * kStepPauseMs;

// The result code of a client failure: 407 means the request never left.
inline int ResultOf(const Torva::httpclientexceptionA& e) {
    return e.LastError() == Torva::kHttpSendRequestExFailed ? kRequestNotSent : kRequestFailed;
}

enum class BodyRead { kRead, kRefused, kCancelled };

// Reads the answer of `response` as AnswerReader takes it: kRead with its text, or
// kRefused (a status other than 200, a body too long, cut short, or without the text
// that `needsText` asks for). `cancelled()` is asked after every read that returned data.
// Throws the client's errors.
template <class Cancelled>
BodyRead ReadAnswer(Torva::CHttpResponseT& response, bool needsText, std::string& text,
                    Cancelled cancelled) {
    const std::string length = response.QueryHeader(HTTP_QUERY_CONTENT_LENGTH);
    const std::string encoding = response.QueryHeader(HTTP_QUERY_TRANSFER_ENCODING);
    AnswerReader answer({response.QueryStatusCode(), length, encoding}, kAnswerCap, needsText);
    char buffer[1024];
    while (const size_t wanted = answer.Wanted()) {
        const DWORD read = response.ReadContent(reinterpret_cast<BYTE*>(buffer),
                                                static_cast<DWORD>(std::min(wanted, sizeof buffer)));
        if (read == 0) break;
        answer.Take(buffer, read);
        if (cancelled()) return BodyRead::kCancelled;
    }
    if (answer.Finish() != AnswerOutcome::kTaken) return BodyRead::kRefused;
    text = answer.Text();
    return BodyRead::kRead;
}

}  // namespace courier
