// The worker of an upload run: the net check, then per file the digest, the check
// request and, when the server asks for it, the upload.
#include <windows.h>

#include <wininet.h>

#include "md5.h"
#include "md5_check_request.h"
#include "resource.h"
#include "run_rules.h"
#include "upload_dlg.h"
#include "upload_request.h"
#include "win32/files.h"
#include "win32/paths.h"

using namespace courier;

namespace {

constexpr char kProbeAgent[] = "Microsoft Internet Explorer";
// A probe that does not answer must not hold the run (nor a hidden dialog) for long.
constexpr DWORD kProbeTimeoutMs = 15000;

// A GET of `url` answered with status 200. The URL is requested exactly as configured:
// paths are case-sensitive on many servers.
bool HttpAnswers200(HINTERNET internet, const std::string& url) {
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

    UniqueInternet connection(InternetConnectA(internet, host, parts.nPort, nullptr, nullptr,
                                               INTERNET_SERVICE_HTTP, 0, 1));
    if (!connection) return false;
    const std::string object = std::string(path[0] != 0 ? path : "/") + extra;
    // A page from the cache proves nothing about the network.
    const DWORD flags = INTERNET_FLAG_TRANSFER_ASCII | INTERNET_FLAG_RELOAD |
                        INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_NO_UI;
    UniqueInternet request(HttpOpenRequestA(connection.get(), "GET", object.c_str(), nullptr,
                                            nullptr, nullptr, flags, 1));
    if (!request) return false;
    // Timeouts only hold on the request handle.
    DWORD timeout = kProbeTimeoutMs;
    for (DWORD option : {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT,
                         INTERNET_OPTION_RECEIVE_TIMEOUT}) {
        InternetSetOptionA(request.get(), option, &timeout, sizeof timeout);
    }
    if (!HttpSendRequestA(request.get(), nullptr, 0, nullptr, 0)) return false;
    DWORD status = 0;
    DWORD size = sizeof status;
    return HttpQueryInfoA(request.get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status,
                          &size, nullptr) &&
           status == 200;
}

// Whether `url` can be reached, through a new internet handle with the machine's proxy
// settings. Only "http://" (status 200) and "ftp://" (it opens) URLs can be.
bool Reachable(const std::string& url) {
    const bool http = StartsWithNoCase(url, "http://");
    if (!http && !StartsWithNoCase(url, "ftp://")) return false;
    UniqueInternet internet(
        InternetOpenA(kProbeAgent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    if (!internet) return false;
    if (http) return HttpAnswers200(internet.get(), url);
    UniqueInternet opened(
        InternetOpenUrlA(internet.get(), url.c_str(), nullptr, 0, INTERNET_FLAG_TRANSFER_ASCII, 1));
    return static_cast<bool>(opened);
}

// Samples of 4 GiB or more are not read: a post counts its bytes in 32 bits.
constexpr uint64_t kLargestSample = 0xFFFFFFFFu;

std::string DigestText(const std::string& content) {
    unsigned char digest[16];
    CMD5Class().Digest(content.data(), digest, static_cast<uint32_t>(content.size()));
    static const char kHex[] = "0123456789ABCDEF";
    std::string text;
    for (unsigned char byte : digest) {
        text += kHex[byte >> 4];
        text += kHex[byte & 15];
    }
    return text;
}

}  // namespace

DWORD WINAPI CUploadDlg::UploadThreadProc(void* dialog) {
    auto* self = static_cast<CUploadDlg*>(dialog);
    try {
        return static_cast<DWORD>(self->Work());
    } catch (...) {
        // Out of memory somewhere: the run ends as if it failed; a hidden dialog closes.
        if (self->show_ == 0) PostMessageA(self->hwnd(), WM_COMMAND, IDOK, 0);
        return 0;
    }
}

int CUploadDlg::Work() {
    SendText(kStatusText, language_.Text("net checking"));
    if (!UrlProbe()) {
        SendText(kStatusText, language_.Text("can't connect to server"));
        // A hidden dialog offers no Cancel to the user: its run ends here. A shown one
        // waits for the user.
        if (show_ == 0) PostMessageA(hwnd(), WM_COMMAND, IDOK, 0);
        return -1;
    }
    const int run = RunUploads();
    if (show_ == 0 || run == 1) PostMessageA(hwnd(), WM_COMMAND, IDOK, 0);
    return run;
}

bool CUploadDlg::UrlProbe() const {
    for (const std::string& probe : probes_) {
        if (Reachable(probe)) return true;
    }
    return Reachable(uploadUrl_);
}

int CUploadDlg::RunUploads() {
    int run = 1;
    UploadRequest* upload = nullptr;
    {
        std::lock_guard<std::mutex> lock(uploadLock_);
        if (!upload_) upload_ = std::make_unique<UploadRequest>();
        upload = upload_.get();
    }
    const uint32_t count = static_cast<uint32_t>(files_->size());
    Send(kFileRange, static_cast<LPARAM>(count));

    bool endedEarly = false;
    for (uint32_t i = 0; i < count; ++i) {
        // A closed or cancelled dialog sends no further requests.
        if (Stopping()) {
            endedEarly = true;
            run = 0;
            break;
        }
        SendText(kStatusText, CountText(i + 1, count));
        Send(kFilePos, static_cast<LPARAM>(i + 1));

        const std::string& path = (*files_)[i];
        std::string digest;
        {
            std::string content;
            if (!kvwin::ReadWholeFile(path, kLargestSample, &content)) continue;
            digest = DigestText(content);
        }

        Md5CheckRequest check;
        check.AddParam("OptionVxMd5", digest.c_str());
        check.AddParam("Language", "Chs");
        if (check.Send(checkUrl_.c_str()) != kRequestDone) {
            SetBit(i, false);
            break;
        }
        const CheckVerdict verdict = JudgeCheckAnswer(check.GetText());
        if (verdict == CheckVerdict::kKnown) SetBit(i, true);
        if (verdict != CheckVerdict::kWanted) continue;

        upload->AddParam("OptionVxMd5", digest.c_str(), 0);
        upload->AddParam("UserID", std::to_string(state_.userId).c_str(), 0);
        upload->AddParam("Language", "Chs", 0);
        upload->AddParam("UploadFile", path.c_str(), 1);
        Send(kBytePos, 0);
        SendText(kFileLine, language_.Text("now update :") + kvwin::FileNameOf(path));

        const int result = upload->Upload(uploadUrl_.c_str(), &UploadProgressCallback, this);
        if (result == kRequestDone) {
            SetBit(i, true);
        } else if (result == kRequestNotSent) {
            SendText(kStatusText, language_.Text("can't connect to server"));
            run = 0;
        } else if (result == kRequestCancelled) {
            endedEarly = true;
            run = 0;
            break;
        }
        // Any other failure leaves the file's result as it is.
    }

    if (!endedEarly && !cancelled_) {
        EnableWindow(GetDlgItem(hwnd(), IDOK), TRUE);
        EnableWindow(GetDlgItem(hwnd(), IDC_CANCEL_RUN), FALSE);
        uint32_t done = 0;
        for (bool bit : *bits_) done += bit ? 1 : 0;
        SendText(kStatusText, SummaryText(language_.Text("upload end:"), done,
                                          language_.Text("files sucessfully!")));
    }

    std::unique_ptr<UploadRequest> finished;
    {
        std::lock_guard<std::mutex> lock(uploadLock_);
        finished = std::move(upload_);
    }
    return run;
}

int CUploadDlg::UploadProgressCallback(uint32_t posted, uint32_t total, void* dialog) {
    const auto* self = static_cast<const CUploadDlg*>(dialog);
    self->Send(kBytePos, static_cast<LPARAM>(ProgressPercent(posted, total)));
    self->SendText(kFileLine, CountText(posted, total));
    return 1;
}

void CUploadDlg::SetBit(size_t index, bool value) {
    if (index < bits_->size()) (*bits_)[index] = value;
}

void CUploadDlg::Send(StatusUpdate what, LPARAM value) const {
    SendMessageA(hwnd(), WM_UPLOAD_STATUS, what, value);
}

void CUploadDlg::SendText(StatusUpdate what, const std::string& text) const {
    SendMessageA(hwnd(), WM_UPLOAD_STATUS, what, reinterpret_cast<LPARAM>(&text));
}
