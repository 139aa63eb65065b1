// The worker's side on Windows: the net check over WinINet, the samples read through the
// Win32 layer, the check request and the run's one upload request.
#include "upload_worker.h"

#include <wininet.h>

#include "md5_check_request.h"
#include "run_rules.h"
#include "upload_request.h"
#include "win32/files.h"
#include "win32/handles.h"
#include "win32/locks.h"
#include "win32/paths.h"

using namespace courier;

namespace {

using Torva::CallLimits;
using Torva::InternetCalls;
using Torva::QuietInternet;

constexpr char kProbeAgent[] = "Microsoft Internet Explorer";
// A probe that does not answer must not hold the run (nor a hidden dialog) for long: each
// connect, send and receive has this limit, and the whole probe kProbeDeadlineMs.
constexpr DWORD kProbeTimeoutMs = 15000;

void SetProbeTimeouts(HINTERNET handle) {
    DWORD timeout = kProbeTimeoutMs;
    for (DWORD option : {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT,
                         INTERNET_OPTION_RECEIVE_TIMEOUT}) {
        InternetSetOptionA(handle, option, &timeout, sizeof timeout);
    }
}

// A GET of `url` answered with status 200. The URL is requested exactly as configured:
// paths are case-sensitive on many servers.
bool HttpAnswers200(const std::string& url, const CallLimits& limits) {
    char host[INTERNET_MAX_HOST_NAME_LENGTH] = {};
    char path[INTERNET_MAX_PATH_LENGTH] = {};
    char extra[INTERNET_MAX_PATH_LENGTH] = {};
    URL_COMPONENTSA parts = {};
    parts.dwStructSize = sizeof parts;
    parts.lpszHostName = host;
    parts.dwHostNameLength = sizeof host;
    parts.lpszUrlPath = path;
    parts.dwUrlPathLength = sizeof path;
    parts.lpszExtraInfo = extra;
    parts.dwExtraInfoLength = sizeof extra;
    if (!InternetCrackUrlA(url.c_str(), 0, 0, &parts) || host[0] == 0) return false;

    // Declared first: the handles close before it goes.
    InternetCalls calls(limits);
    QuietInternet internet(
        calls.OpenSession(kProbeAgent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    if (!internet) return false;
    QuietInternet connection(InternetConnectA(internet.get(), host, parts.nPort, nullptr, nullptr,
                                              INTERNET_SERVICE_HTTP, 0, calls.Context()));
    if (!connection) return false;
    const std::string object = std::string(path[0] != 0 ? path : "/") + extra;
    // A page from the cache proves nothing about the network.
    const DWORD flags = INTERNET_FLAG_TRANSFER_ASCII | INTERNET_FLAG_RELOAD |
                        INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_NO_UI;
    QuietInternet request(HttpOpenRequestA(connection.get(), "GET", object.c_str(), nullptr,
                                           nullptr, nullptr, flags, calls.Context()));
    if (!request) return false;
    // Timeouts only hold on the request handle.
    SetProbeTimeouts(request.get());
    DWORD error = 0;
    if (!calls.Complete(HttpSendRequestA(request.get(), nullptr, 0, nullptr, 0), &error)) {
        return false;
    }
    DWORD status = 0;
    DWORD size = sizeof status;
    return HttpQueryInfoA(request.get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status,
                          &size, nullptr) &&
           status == 200;
}

// The session of an ftp probe, closed under the open when the run stops or the deadline
// passes: opening an ftp:// URL is one call that nothing else ends (and whose
// asynchronous form never reports a failed connect under Wine), but closing its session
// closes the connection it waits on.
struct FtpSession {
    kvwin::CriticalSection lock;
    HINTERNET internet = nullptr;
    bool closed = false;

    void Close() {
        kvwin::Locked hold(lock);
        if (!closed) InternetCloseHandle(internet);
        closed = true;
    }
    static void CALLBACK OnStopOrDeadline(void* self, BOOLEAN) {
        static_cast<FtpSession*>(self)->Close();
    }
};

bool FtpOpens(const std::string& url, const CallLimits& limits) {
    FtpSession session;
    session.internet =
        InternetOpenA(kProbeAgent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    if (session.internet == nullptr) return false;
    SetProbeTimeouts(session.internet);
    UniqueHandle never(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    HANDLE watched = limits.stop != nullptr ? limits.stop : never.get();
    HANDLE wait = nullptr;
    // The callback runs in the wait's own thread: no thread has to start for it, not even
    // while the host unloads this library.
    if (!RegisterWaitForSingleObject(&wait, watched, &FtpSession::OnStopOrDeadline, &session,
                                     limits.Remaining(),
                                     WT_EXECUTEONLYONCE | WT_EXECUTEINWAITTHREAD)) {
        session.Close();
        return false;
    }
    HINTERNET opened =
        InternetOpenUrlA(session.internet, url.c_str(), nullptr, 0, INTERNET_FLAG_TRANSFER_ASCII, 0);
    // Returns once a callback under way has finished.
    UnregisterWaitEx(wait, INVALID_HANDLE_VALUE);
    {
        kvwin::Locked hold(session.lock);
        // Closed with its session already when that was closed under it.
        if (opened != nullptr && !session.closed) InternetCloseHandle(opened);
    }
    session.Close();
    return opened != nullptr;
}

// Whether `url` can be reached, through a new internet handle with the machine's proxy
// settings. Only "http://" (status 200) and "ftp://" (it opens) URLs can be.
bool UrlReachable(const std::string& url, const CallLimits& limits) {
    if (StartsWithNoCase(url, "http://")) return HttpAnswers200(url, limits);
    if (StartsWithNoCase(url, "ftp://")) return FtpOpens(url, limits);
    return false;
}

// Samples of 4 GiB or more are not read: a post counts its bytes in 32 bits.
constexpr uint64_t kLargestSample = 0xFFFFFFFFu;

}  // namespace

CourierRequests::CourierRequests() : stop_(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}

CourierRequests::~CourierRequests() = default;

void CourierRequests::SetDeadline(DWORD ms) {
    probeDeadlineMs_ = ms;
    requestDeadlineMs_ = ms;
}

bool CourierRequests::Stopped() const {
    return WaitForSingleObject(stop_.get(), 0) == WAIT_OBJECT_0;
}

bool CourierRequests::Reachable(const std::string& url) {
    // Once stopped, nothing new starts: not even a session (the host may be unloading).
    if (Stopped()) return false;
    return UrlReachable(url, CallLimits::Until(stop_.get(), probeDeadlineMs_));
}

bool CourierRequests::ReadSample(const std::string& path, std::string* content) {
    return static_cast<bool>(kvwin::ReadWholeFile(path, kLargestSample, content));
}

std::string CourierRequests::SampleName(const std::string& path) {
    return kvwin::FileNameOf(path);
}

int CourierRequests::Check(const std::string& url, const std::vector<FormParam>& params,
                           std::string* answer) {
    if (Stopped()) return kRequestFailed;
    Md5CheckRequest check;
    check.SetStopEvent(stop_.get());
    check.SetDeadline(requestDeadlineMs_);
    for (const FormParam& param : params) check.AddParam(param.name.c_str(), param.value.c_str());
    const int result = check.Send(url.c_str());
    if (result == kRequestDone) *answer = check.GetText();
    return result;
}

void CourierRequests::BeginUploads() {
    kvwin::Locked hold(lock_);
    if (!upload_) upload_ = std::make_unique<UploadRequest>();
    upload_->SetDeadline(requestDeadlineMs_);
}

void CourierRequests::EndUploads() {
    // Dropped once the lock is let go: a Cancel never waits for the request's teardown.
    std::unique_ptr<UploadRequest> finished;
    kvwin::Locked hold(lock_);
    finished = std::move(upload_);
}

int CourierRequests::Upload(const std::string& url, const std::vector<FormParam>& params,
                            UploadProgress& progress) {
    // Only this thread makes and drops the request: no lock is needed to use it. There is
    // none outside BeginUploads and EndUploads.
    UploadRequest* upload = upload_.get();
    if (upload == nullptr) return kRequestFailed;
    // A cancel that came between two files stops the run's later uploads too.
    if (Stopped()) return kRequestCancelled;
    for (const FormParam& param : params) {
        upload->AddParam(param.name.c_str(), param.value.c_str(), param.isFile ? 1 : 0);
    }
    return upload->Upload(url.c_str(), &CourierRequests::OnProgress, &progress);
}

bool CourierRequests::Cancel() {
    SetEvent(stop_.get());
    kvwin::Locked hold(lock_);
    if (!upload_) return false;
    upload_->Cancel();
    return true;
}

int CourierRequests::OnProgress(uint32_t posted, uint32_t total, void* progress) {
    static_cast<UploadProgress*>(progress)->Posted(posted, total);
    return 1;
}
