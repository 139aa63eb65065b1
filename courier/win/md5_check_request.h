#pragma once
// Asks the server whether it holds a sample with a given MD5 digest: one url-encoded
// post of the parameters, the answer kept as text. Made for one file and used on the
// worker thread only. Nothing throws out of it.
#include <string>

#include "http_client_win.h"
#include "request_common.h"

class Md5CheckRequest final {
public:
    Md5CheckRequest();

    // Slot 0. Adds a plain form parameter; 1, or 0 when it could not be added.
    virtual int AddParam(const char* name, const char* value);
    // Slot 1. Posts the parameters to `url`: 0 when the server answered 200 and its whole
    // body (at most 10239 bytes, with a text) was read, 1 when the request could not be
    // sent, 2 on any other failure (also when the deadline passed or the stop event was
    // set). The parameters are gone afterwards.
    virtual int Send(const char* url);
    // Slot 2. The body of the last successful Send (empty before); a failed Send leaves
    // it as it was.
    virtual const std::string& GetText();

    // Connect, send and receive limits (30 s each unless set).
    void SetTimeouts(DWORD ms) { client_.SetTimeouts(ms, ms, ms); }
    // The whole request's limit (kRequestDeadlineMs unless set).
    void SetDeadline(DWORD ms) { client_.SetDeadline(ms, courier::kDeadlineMsPerKiB); }
    // A manual-reset event that ends a Send at once when another thread sets it.
    void SetStopEvent(HANDLE stop) { client_.SetStopEvent(stop); }

private:
    Torva::CHttpClientT client_;
    std::string text_;
    bool connectionHeaderAdded_ = false;
};
