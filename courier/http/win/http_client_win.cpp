#include "http_client_win.h"

#include <objbase.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>

#include "http_url.h"

namespace Torva {
namespace {

static_assert(kFlagReload == INTERNET_FLAG_RELOAD, "request flags by value");
static_assert(kFlagNoCacheWrite == INTERNET_FLAG_NO_CACHE_WRITE, "request flags by value");
static_assert(kFlagSecure == INTERNET_FLAG_SECURE, "request flags by value");
static_assert(kFlagKeepConnection == INTERNET_FLAG_KEEP_CONNECTION, "request flags by value");
static_assert(kFlagNoAutoRedirect == INTERNET_FLAG_NO_AUTO_REDIRECT, "request flags by value");
static_assert(kFlagResynchronize == INTERNET_FLAG_RESYNCHRONIZE, "request flags by value");
static_assert(kFlagHyperlink == INTERNET_FLAG_HYPERLINK, "request flags by value");
static_assert(kFlagNoUi == INTERNET_FLAG_NO_UI, "request flags by value");
static_assert(kFlagPragmaNoCache == INTERNET_FLAG_PRAGMA_NOCACHE, "request flags by value");

const char* OrNull(const std::string& s) {
    return s.empty() ? nullptr : s.c_str();
}

// Runs `step`, turning a library failure inside it into the client's own codes.
template <class Step>
auto Guarded(Step step) -> decltype(step()) {
    try {
        return step();
    } catch (const httpclientexceptionA&) {
        throw;
    } catch (const std::bad_alloc&) {
        ThrowHttpError(kHttpOutOfMemory);
    } catch (const std::exception&) {
        ThrowHttpError(kHttpStdException);
    }
}

// The request on the wire, as the sink of the body.
class RequestSink final : public IHttpPostSink {
public:
    RequestSink(HINTERNET request, InternetCalls& calls) : request_(request), calls_(calls) {}
    void Write(const char* data, uint32_t size) override {
        if (request_ == nullptr) {
            ThrowHttpPrecondition("CHttpClientT::_WritePost: m_hRequest can not be NULL.");
        }
        CHttpToolA::InternetWriteFile(request_, data, size, calls_);
    }

private:
    HINTERNET request_;
    InternetCalls& calls_;
};

}  // namespace

DWORD CHttpResponseT::ReadContent(BYTE* pbyBuff, DWORD cbBuff) {
    if (!request_)
        ThrowHttpPrecondition("CHttpResponseT::ReadContent: m_hRequest can not be NULL.");
    if (pbyBuff == nullptr) {
        ThrowHttpPrecondition("CHttpResponseT::ReadContent: pbyBuff can not be NULL.");
    }
    if (cbBuff == 0) ThrowHttpPrecondition("CHttpResponseT::ReadContent: cbBuff can not be zero.");
    // A full-sized read would wait until the whole buffer is filled, however slowly the
    // bytes come: only what has arrived is read. Whatever WinINet fills in later goes to
    // the calls' own memory.
    DWORD error = 0;
    DWORD available = 0;
    for (;;) {
        DWORD& count = calls_->Count();
        count = 0;
        const BOOL ok = InternetQueryDataAvailable(request_.get(), &count, 0, 0);
        if (ok) {
            available = count;
            break;
        }
        // Nothing has arrived yet; once something has, asking again answers at once.
        if (!calls_->Complete(ok, &error)) ThrowHttpError(kHttpReadFileFailed, error);
    }
    if (available == 0) return 0;
    const DWORD wanted = std::min({cbBuff, available, InternetCalls::kScratchBytes});
    DWORD& read = calls_->Count();
    read = 0;
    if (!calls_->Complete(InternetReadFile(request_.get(), calls_->Scratch(), wanted, &read),
                          &error)) {
        ThrowHttpError(kHttpReadFileFailed, error);
    }
    if (read > wanted) ThrowHttpError(kHttpReadFileFailed);
    std::memcpy(pbyBuff, calls_->Scratch(), read);
    return read;
}

DWORD CHttpResponseT::QueryStatusCode() {
    DWORD status = 0;
    DWORD size = sizeof(status);
    if (!request_ ||
        !HttpQueryInfoA(request_.get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status,
                        &size, nullptr)) {
        ThrowHttpError(kHttpQueryInfoFailed, GetLastError());
    }
    return status;
}

std::string CHttpResponseT::QueryHeader(DWORD info) {
    char value[256] = {};
    DWORD size = sizeof(value) - 1;
    if (!request_ || !HttpQueryInfoA(request_.get(), info, value, &size, nullptr)) return "";
    return std::string(value, std::min<DWORD>(size, sizeof(value) - 1));
}

CHttpClientT::CHttpClientT() : boundary_(kFallbackBoundary) {
    GUID guid;
    if (SUCCEEDED(CoCreateGuid(&guid))) {
        char text[64];
        std::snprintf(text, sizeof(text),
                      "----PELMA-%08lx%04x%04x%02x%02x%02x%02x%02x%02x%02x%02x-",
                      static_cast<unsigned long>(guid.Data1), guid.Data2, guid.Data3, guid.Data4[0],
                      guid.Data4[1], guid.Data4[2], guid.Data4[3], guid.Data4[4], guid.Data4[5],
                      guid.Data4[6], guid.Data4[7]);
        boundary_ = text;
    }
    boundaryContentType_ = "multipart/form-data; boundary=" + boundary_;
}

CHttpClientT::~CHttpClientT() {
    CancelPost();
}

void CHttpClientT::SetCodePage(UINT codePage) {
    if (codePage == CP_UTF8 || codePage == CP_UTF7) {
        ThrowHttpPrecondition(
            "CHttpClientT::SetCodePage: CP_UTF8 and CP_UTF7 can not be used for the CodePage "
            "parameter.");
    }
    text_ = WinCodePageText(codePage);
}

void CHttpClientT::SetInternetOpen(const char* agent, DWORD accessType, const char* proxy,
                                   const char* proxyBypass, DWORD flags) {
    agent_ = agent != nullptr ? agent : kDefaultAgent;
    accessType_ = accessType;
    proxy_ = proxy != nullptr ? proxy : "";
    proxyBypass_ = proxyBypass != nullptr ? proxyBypass : "";
    openFlags_ = flags;
}

void CHttpClientT::SetProxyAccount(const char* userName, const char* password) {
    proxyUserName_ = userName != nullptr ? userName : "";
    proxyPassword_ = password != nullptr ? password : "";
}

void CHttpClientT::SetTimeouts(DWORD connectMs, DWORD sendMs, DWORD receiveMs) {
    connectTimeoutMs_ = connectMs;
    sendTimeoutMs_ = sendMs;
    receiveTimeoutMs_ = receiveMs;
}

void CHttpClientT::SetDeadline(DWORD baseMs, DWORD msPerKiB) {
    hasDeadline_ = true;
    deadlineBaseMs_ = baseMs;
    deadlineMsPerKiB_ = msPerKiB;
}

void CHttpClientT::AddHeader(const char* szName, const char* szValue) {
    if (szName == nullptr)
        ThrowHttpPrecondition("CHttpClientT::AddHeader: szName can not be NULL.");
    if (szName[0] == '\0') {
        ThrowHttpPrecondition("CHttpClientT::AddHeader: szName can not be an empty string.");
    }
    if (szValue == nullptr)
        ThrowHttpPrecondition("CHttpClientT::AddHeader: szValue can not be NULL.");
    if (szValue[0] == '\0') {
        ThrowHttpPrecondition("CHttpClientT::AddHeader: szValue can not be an empty string.");
    }
    Guarded([&] { headers_.Add(szName, szValue, 0); });
}

void CHttpClientT::AddParam(const char* szName, const char* szValue, DWORD dwAttribute) {
    if (post_.IsActive()) {
        ThrowHttpPrecondition(
            "CHttpClientT::AddParam: It is not allowed to call this method if the POST context "
            "is active.");
    }
    Guarded([&] { params_.Add(szName, szValue, dwAttribute); });
}

void CHttpClientT::ClearParam() {
    if (post_.IsActive()) {
        ThrowHttpPrecondition(
            "CHttpClientT::ClearParam: It is not allowed to call this method if the POST "
            "context is active.");
    }
    params_.Clear();
}

void CHttpClientT::OpenUrlEncodedPost(const char* szUrl, BOOL useCache) {
    CancelPost();
    Guarded([&] {
        try {
            const uint32_t total = post_.PrepareUrlEncoded(params_, TextOptions());
            OpenRequest(szUrl, useCache, "application/x-www-form-urlencoded", total);
            post_.Activate();
        } catch (...) {
            DropPost();
            throw;
        }
    });
}

void CHttpClientT::OpenMultipartPost(const char* szUrl, BOOL useCache) {
    CancelPost();
    Guarded([&] {
        try {
            // Files are opened (and a strict check fails) before anything goes out.
            WinFileOpener files(text_.CodePage());
            const uint32_t total = post_.PrepareMultipart(params_, boundary_, files,
                                                          strictFileCheck_ != FALSE, TextOptions());
            OpenRequest(szUrl, useCache, boundaryContentType_.c_str(), total);
            post_.Activate();
        } catch (...) {
            DropPost();
            throw;
        }
    });
}

void CHttpClientT::OpenRequest(const char* szUrl, BOOL useCache, const char* contentType,
                               DWORD total) {
    if (szUrl == nullptr) ThrowHttpError(kHttpInvalidUrl);
    const HttpRequestTarget target = ResolveRequestTarget(szUrl, useCache != FALSE, text_);

    // The post's deadline runs from here to the last byte of its answer.
    const uint64_t deadlineMs =
        hasDeadline_ ? deadlineBaseMs_ + uint64_t{total} / 1024 * deadlineMsPerKiB_ : UINT64_MAX;
    auto calls = std::make_unique<InternetCalls>(CallLimits::Until(stop_, deadlineMs));
    // Locals until the request is sent: a failure closes what this call opened.
    QuietInternet internet(calls->OpenSession(agent_.c_str(), accessType_, OrNull(proxy_),
                                              OrNull(proxyBypass_), openFlags_));
    if (!internet) ThrowHttpError(kHttpOpenFailed, GetLastError());
    QuietInternet connection(CHttpToolA::OpenConnection(internet.get(), target.host.c_str(),
                                                        target.port, calls->Context()));
    ApplyProxyAccount(connection.get());
    QuietInternet request(CHttpToolA::OpenRequest(
        connection.get(), "POST", target.objectName.c_str(), target.flags, calls->Context()));
    ApplyTimeouts(request.get());

    if (target.flags & INTERNET_FLAG_PRAGMA_NOCACHE) {
        CHttpToolA::AddHeader(request.get(), "Cache-Control", "no-cache");
    }
    for (const CHttpClientMapT::Entry& header : headers_.Entries()) {
        CHttpToolA::AddHeader(request.get(), header.name.get(), header.value.get());
    }
    CHttpToolA::AddHeader(request.get(), "Content-Type", contentType);
    CHttpToolA::SendRequestEx(request.get(), total, *calls);

    calls_ = std::move(calls);
    internet_ = std::move(internet);
    connection_ = std::move(connection);
    request_ = std::move(request);
}

void CHttpClientT::ApplyProxyAccount(HINTERNET hConnection) {
    if (proxyUserName_.empty() || proxyPassword_.empty()) return;
    if (hConnection == nullptr) {
        ThrowHttpPrecondition("CHttpClientT::ApplyProxyAccount: hConnection can not be NULL.");
    }
    if (!InternetSetOptionA(hConnection, INTERNET_OPTION_PROXY_USERNAME,
                            const_cast<char*>(proxyUserName_.c_str()),
                            static_cast<DWORD>(proxyUserName_.size() + 1)) ||
        !InternetSetOptionA(hConnection, INTERNET_OPTION_PROXY_PASSWORD,
                            const_cast<char*>(proxyPassword_.c_str()),
                            static_cast<DWORD>(proxyPassword_.size() + 1))) {
        ThrowHttpError(kHttpSetOptionFailed, GetLastError());
    }
}

void CHttpClientT::ApplyTimeouts(HINTERNET hRequest) {
    // Only limits on the request handle take effect everywhere; without a receive limit
    // a server that never answers would hold the caller for ever.
    const std::pair<DWORD, DWORD> limits[] = {
        {INTERNET_OPTION_CONNECT_TIMEOUT, connectTimeoutMs_},
        {INTERNET_OPTION_SEND_TIMEOUT, sendTimeoutMs_},
        {INTERNET_OPTION_RECEIVE_TIMEOUT, receiveTimeoutMs_},
    };
    for (const auto& [option, ms] : limits) {
        DWORD value = ms;
        if (!InternetSetOptionA(hRequest, option, &value, sizeof(value))) {
            ThrowHttpError(kHttpSetOptionFailed, GetLastError());
        }
    }
}

void CHttpClientT::RequireHandles(const char* where) const {
    const char* missing = !internet_     ? "m_hInternet can not be NULL."
                          : !connection_ ? "m_hConnection can not be NULL."
                          : !request_    ? "m_hRequest can not be NULL."
                                         : nullptr;
    if (missing != nullptr) ThrowHttpPrecondition((std::string(where) + missing).c_str());
}

std::unique_ptr<CHttpResponseT> CHttpClientT::ProceedPost(DWORD nDesired) {
    if (!post_.IsActive()) ThrowHttpError(kHttpPostNotStarted);
    return Guarded([&]() -> std::unique_ptr<CHttpResponseT> {
        try {
            RequireHandles(post_.IsUrlEncoded() ? "CHttpClientT::_ProceedPostContext: "
                                                : "CHttpClientT::_ProceedUploadContext: ");
            // Stopped, or out of time: no further step.
            if (const DWORD reason = calls_->limits().Reason()) {
                ThrowHttpError(kHttpWriteFileFailed, reason);
            }
            RequestSink sink(request_.get(), *calls_);
            if (post_.Proceed(nDesired, sink) == CHttpPostContext::Step::kWrote) return nullptr;
            CHttpToolA::EndRequest(request_.get(), *calls_);
            auto response =
                std::make_unique<CHttpResponseT>(std::move(calls_), std::move(internet_),
                                                 std::move(connection_), std::move(request_));
            _ReleasePostResponse();
            return response;
        } catch (...) {
            CancelPost();
            throw;
        }
    });
}

BOOL CHttpClientT::CancelPost() {
    if (!post_.IsActive()) return FALSE;
    _ReleasePostResponse();
    return TRUE;
}

void CHttpClientT::_ReleasePostResponse() {
    if (!post_.IsActive()) {
        ThrowHttpPrecondition(
            "CHttpClientT::_ReleasePostResponse: The post context is not active.");
    }
    DropPost();
}

void CHttpClientT::DropPost() {
    request_.reset();
    connection_.reset();
    internet_.reset();
    calls_.reset();
    post_.Reset();
}

}  // namespace Torva
