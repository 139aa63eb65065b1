#include "upload_request.h"

#include <memory>

using namespace courier;

UploadRequest::UploadRequest() : stop_(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {
    // A sample that cannot be read when its upload starts is not sent as an empty part
    // under the digest of its old content.
    client_.SetStrictFileCheck(TRUE);
    client_.SetStopEvent(stop_.get());
    SetDeadline(kRequestDeadlineMs);
}

int UploadRequest::AddParam(const char* name, const char* value, int isFile) {
    try {
        client_.AddParam(name, value, isFile != 0 ? static_cast<DWORD>(Torva::kParamFile) : 0);
        return 1;
    } catch (const std::exception&) {
        return 0;
    }
}

int UploadRequest::Upload(const char* url, UploadProgressFn callback, void* user) {
    if (callback != nullptr) {
        callback_ = callback;
        user_ = user;
    }
    // A cancel meant for an earlier upload does not stop this one.
    ResetEvent(stop_.get());
    flags_.fetch_or(kUploading);
    const int result = Run(url);
    client_.CancelPost();
    try {
        client_.ClearParam();
    } catch (const std::exception&) {
    }
    flags_.fetch_and(~static_cast<uint32_t>(kUploading | kOnTheWire | kCancelRequested));
    return result;
}

int UploadRequest::Run(const char* url) {
    try {
        // Headers stay with the client: one "Connection" line serves every upload of
        // the run, however many files it sends.
        if (!connectionHeaderAdded_) {
            client_.AddHeader("Connection", "close");
            connectionHeaderAdded_ = true;
        }
        client_.OpenMultipartPost(url, FALSE);
        flags_.fetch_or(kOnTheWire);

        std::unique_ptr<Torva::CHttpResponseT> response;
        for (;;) {
            if (CancelRequested()) return kRequestCancelled;
            if (callback_ != nullptr) {
                Torva::CHttpPostStatT stat;
                client_.SnapshotPostStat(stat);
                callback_(stat.PostedByte(), stat.TotalByte(), user_);
            }
            response = client_.ProceedPost(kStepBytes);
            if (response) break;
            Sleep(kStepPauseMs);
        }
        if (CancelRequested()) return kRequestCancelled;

        // Only a whole 200 means the server took the sample; its text may be empty.
        std::string text;
        switch (ReadAnswer(*response, false, text, [this] { return CancelRequested(); })) {
            case BodyRead::kCancelled:
                return kRequestCancelled;
            case BodyRead::kRefused:
                return kRequestFailed;
            case BodyRead::kRead:
                break;
        }
        text_ = std::move(text);
        return kRequestDone;
    } catch (const Torva::httpclientexceptionA& e) {
        // A wait that the cancel ended fails like any other.
        return CancelRequested() ? kRequestCancelled : ResultOf(e);
    } catch (const std::exception&) {
        return kRequestFailed;
    }
}

const std::string& UploadRequest::GetText() {
    return text_;
}

void UploadRequest::Cancel() {
    uint32_t flags = flags_.load();
    // Only while an upload runs: a cancel between two files must not stop the next one.
    while ((flags & kUploading) != 0 &&
           !flags_.compare_exchange_weak(flags, flags | kCancelRequested)) {
    }
    if ((flags & kUploading) != 0) SetEvent(stop_.get());
}
