#pragma once
// A synchronous HTTP client over WinINet for form posts: url-encoded, or multipart with
// files. The body goes out one step per ProceedPost call, so the caller can show
// progress and cancel between steps. Every failure throws httpclientexceptionA.
#include <windows.h>

#include <wininet.h>

#include <memory>
#include <string>

#include "http_error.h"
#include "http_map.h"
#include "http_post.h"
#include "http_stat.h"
#include "http_tool_win.h"
#include "internet_calls_win.h"
#include "win32/handles.h"

namespace Torva {

// The answer to a finished post. Owns the request handle and the connection and session
// it came through; closes them in that order. Its reads end early as the post's stop
// event and deadline say.
class CHttpResponseT {
public:
    CHttpResponseT(std::unique_ptr<InternetCalls> calls, QuietInternet internet,
                   QuietInternet connection, QuietInternet request)
        : calls_(std::move(calls)),
          internet_(std::move(internet)),
          connection_(std::move(connection)),
          request_(std::move(request)) {}

    // One read of at most `cbBuff` body bytes, of what has arrived (it waits only while
    // nothing has); 0 at the end of the body (401).
    DWORD ReadContent(BYTE* pbyBuff, DWORD cbBuff);
    // The status code of the answer (400 when it cannot be had).
    DWORD QueryStatusCode();
    // The value of a header of the answer (HTTP_QUERY_CONTENT_LENGTH, ...); "" without it.
    std::string QueryHeader(DWORD info);

private:
    // Declared in reverse: members are destroyed request first, session last.
    std::unique_ptr<InternetCalls> calls_;
    QuietInternet internet_;
    QuietInternet connection_;
    QuietInternet request_;
};

class CHttpClientT {
public:
    static constexpr DWORD kDefaultTimeoutMs = 30000;
    static constexpr const char* kDefaultAgent = "Torva HTTP Client Class";
    static constexpr const char* kFallbackBoundary = "----TORVA-FB3B405B7EAE495aB0C0295C54D4E096-";

    CHttpClientT();
    ~CHttpClientT();
    CHttpClientT(const CHttpClientT&) = delete;
    CHttpClientT& operator=(const CHttpClientT&) = delete;

    // Settings; they take effect at the next open.
    // When set, a file parameter that cannot be opened fails the post with 603 instead of
    // going out as an empty part.
    void SetStrictFileCheck(BOOL strict) { strictFileCheck_ = strict; }
    void SetUseUtf8(BOOL useUtf8) { useUtf8_ = useUtf8; }
    void SetCodePage(UINT codePage);
    void SetInternetOpen(const char* agent, DWORD accessType, const char* proxy,
                         const char* proxyBypass, DWORD flags);
    void SetProxyAccount(const char* userName, const char* password);
    // Connect, send and receive limits in milliseconds, set on every request handle.
    void SetTimeouts(DWORD connectMs, DWORD sendMs, DWORD receiveMs);
    // An overall limit for each post, from its open to the last byte of its answer:
    // `baseMs` plus `msPerKiB` for every KiB of its body. None unless set.
    void SetDeadline(DWORD baseMs, DWORD msPerKiB);
    // A manual-reset event that ends every wait of a post at once when another thread sets
    // it (not owned; null for none).
    void SetStopEvent(HANDLE stop) { stop_ = stop; }

    // The boundary of multipart bodies, and the content type that names it.
    const char* Boundary() const { return boundary_.c_str(); }
    const char* BoundaryContentType() const { return boundaryContentType_.c_str(); }

    void AddHeader(const char* szName, const char* szValue);
    // Refused while a post is open; headers stay with the client.
    void AddParam(const char* szName, const char* szValue = nullptr, DWORD dwAttribute = 0);
    void ClearParam();

    // Open a post (any open one is cancelled first): the request line and headers go out
    // with the body's length. Nothing is left open when an open fails.
    void OpenUrlEncodedPost(const char* szUrl, BOOL useCache = FALSE);
    void OpenMultipartPost(const char* szUrl, BOOL useCache = FALSE);

    bool IsPostActive() const { return post_.IsActive(); }
    void SnapshotPostStat(CHttpPostStatT& stat) const { post_.Snapshot(stat); }
    // One step of the open post; the answer once the body is complete, else null. A
    // failure cancels the post.
    std::unique_ptr<CHttpResponseT> ProceedPost(DWORD nDesired);
    // Closes an open post and everything it holds; TRUE when one was open.
    BOOL CancelPost();

private:
    HttpTextOptions TextOptions() const { return {useUtf8_ != FALSE, &text_}; }
    void OpenRequest(const char* szUrl, BOOL useCache, const char* contentType, DWORD total);
    void ApplyProxyAccount(HINTERNET hConnection);
    void ApplyTimeouts(HINTERNET hRequest);
    void _ReleasePostResponse();
    void DropPost();
    void RequireHandles(const char* where) const;

    BOOL strictFileCheck_ = FALSE;
    std::string boundary_;  // from a fresh GUID, or the fixed one when none could be had
    std::string boundaryContentType_;
    BOOL useUtf8_ = FALSE;
    WinCodePageText text_{CP_ACP};
    CHttpClientMapT headers_;
    CHttpClientMapT params_;

    std::string agent_ = kDefaultAgent;
    DWORD accessType_ = INTERNET_OPEN_TYPE_PRECONFIG;
    std::string proxy_;
    std::string proxyBypass_;
    DWORD openFlags_ = 0;
    std::string proxyUserName_;
    std::string proxyPassword_;
    DWORD connectTimeoutMs_ = kDefaultTimeoutMs;
    DWORD sendTimeoutMs_ = kDefaultTimeoutMs;
    DWORD receiveTimeoutMs_ = kDefaultTimeoutMs;
    bool hasDeadline_ = false;
    DWORD deadlineBaseMs_ = 0;
    DWORD deadlineMsPerKiB_ = 0;
    HANDLE stop_ = nullptr;

    CHttpPostContext post_;
    std::unique_ptr<InternetCalls> calls_;
    QuietInternet internet_;
    QuietInternet connection_;
    QuietInternet request_;
};

}  // namespace Torva
