#include "md5_check_request.h"

#include <memory>

using namespace courier;

Md5CheckRequest::Md5CheckRequest() {
    SetDeadline(kRequestDeadlineMs);
}

int Md5CheckRequest::AddParam(const char* name, const char* value) {
    try {
        client_.AddParam(name, value, 0);
        return 1;
    } catch (const std::exception&) {
        return 0;
    }
}

int Md5CheckRequest::Send(const char* url) {
    int result = kRequestFailed;
    try {
        // Headers stay with the client: one "Connection" line serves every Send.
        if (!connectionHeaderAdded_) {
            client_.AddHeader("Connection", "close");
            connectionHeaderAdded_ = true;
        }
        client_.OpenUrlEncodedPost(url, FALSE);
        std::unique_ptr<Torva::CHttpResponseT> response;
        while (!(response = client_.ProceedPost(kStepBytes))) Sleep(kStepPauseMs);
        // Only a whole 200 with a text carries the server's verdict; an error page, a
        // redirect, a connection closed without an answer (status 0) or part way through
        // it, or an empty body is not one: an empty text would read as 0, "held".
        std::string text;
        if (ReadAnswer(*response, true, text, [] { return false; }) == BodyRead::kRead) {
            text_ = std::move(text);
            result = kRequestDone;
        }
    } catch (const Torva::httpclientexceptionA& e) {
        result = ResultOf(e);
    } catch (const std::exception&) {
        result = kRequestFailed;
    }
    client_.CancelPost();
    try {
        client_.ClearParam();
    } catch (const std::exception&) {
    }
    return result;
}

const std::string& Md5CheckRequest::GetText() {
    return text_;
}
