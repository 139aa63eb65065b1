#include "http_tool_win.h"

#include <urlmon.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace Torva {
namespace {

constexpr DWORD kSniffBytes = 256;

void RefuseUtfCodePage(UINT codePage, const char* text) {
    if (codePage == CP_UTF8 || codePage == CP_UTF7) ThrowHttpPrecondition(text);
}

class WinPostFile final : public IHttpPostFile {
public:
    WinPostFile(UniqueFile file, std::string path, UINT codePage)
        : file_(std::move(file)), path_(std::move(path)), codePage_(codePage) {}

    uint64_t Size() override { return CHttpToolA::GetFileSize(file_.get(), path_.c_str()); }
    std::string ContentType() override { return CHttpToolA::GetMimeType(file_.get(), codePage_); }
    uint32_t Read(char* buffer, uint32_t size) override {
        DWORD read = 0;
        if (!ReadFile(file_.get(), buffer, size, &read, nullptr)) {
            ThrowHttpError(kHttpFileReadFailed, GetLastError());
        }
        return read;
    }

private:
    UniqueFile file_;
    std::string path_;
    UINT codePage_;
};

}  // namespace

HINTERNET CHttpToolA::OpenConnection(HINTERNET hInternet, const char* szServerAddr,
                                     INTERNET_PORT port, DWORD_PTR context) {
    if (hInternet == nullptr) {
        ThrowHttpPrecondition("CHttpToolA::OpenConnection: hInternet can not be NULL.");
    }
    if (szServerAddr == nullptr) {
        ThrowHttpPrecondition("CHttpToolA::OpenConnection: szServerAddr can not be NULL.");
    }
    if (szServerAddr[0] == '\0') {
        ThrowHttpPrecondition(
            "CHttpToolA::OpenConnection: szServerAddr can not be an empty string.");
    }
    HINTERNET connection = InternetConnectA(hInternet, szServerAddr, port,
                                            nullptr,                // no user
                                            nullptr,                // no password
                                            INTERNET_SERVICE_HTTP,  //
                                            0,                      // no flags
                                            context);
    if (connection == nullptr) ThrowHttpError(kHttpConnectFailed, GetLastError());
    return connection;
}

HINTERNET CHttpToolA::OpenRequest(HINTERNET hConnection, const char* szVerb,
                                  const char* szObjectName, DWORD flags, DWORD_PTR context) {
    if (hConnection == nullptr) {
        ThrowHttpPrecondition("CHttpToolA::OpenRequest: hConnection can not be NULL.");
    }
    if (szObjectName == nullptr) {
        ThrowHttpPrecondition("CHttpToolA::OpenRequest: szObjectName can not be NULL.");
    }
    if (szObjectName[0] == '\0') {
        ThrowHttpPrecondition("CHttpToolA::OpenRequest: szObjectName can not be an empty string.");
    }
    const char* acceptTypes[] = {"*/*", nullptr};
    HINTERNET request = HttpOpenRequestA(hConnection, szVerb, szObjectName, "HTTP/1.1",
                                         nullptr,  // no referrer
                                         acceptTypes, flags, context);
    if (request == nullptr) ThrowHttpError(kHttpOpenRequestFailed, GetLastError());
    return request;
}

void CHttpToolA::AddHeader(HINTERNET hRequest, const char* szName, const char* szValue) {
    if (hRequest == nullptr)
        ThrowHttpPrecondition("CHttpToolA::AddHeader: hRequest can not be NULL.");
    if (szName == nullptr) ThrowHttpPrecondition("CHttpToolA::AddHeader: szName can not be NULL.");
    const std::string line =
        std::string(szName) + ": " + (szValue != nullptr ? szValue : "") + "\r\n";
    if (!HttpAddRequestHeadersA(hRequest, line.c_str(), static_cast<DWORD>(line.size()),
                                HTTP_ADDREQ_FLAG_ADD)) {
        ThrowHttpError(kHttpAddHeadersFailed, GetLastError());
    }
}

void CHttpToolA::SendRequestEx(HINTERNET hRequest, DWORD total, InternetCalls& calls) {
    if (hRequest == nullptr) {
        ThrowHttpPrecondition("CHttpToolA::SendRequestEx: hRequest can not be NULL.");
    }
    INTERNET_BUFFERSA& buffers = calls.Buffers();
    buffers = {};
    buffers.dwStructSize = sizeof(buffers);
    buffers.dwBufferTotal = total;  // becomes the Content-Length
    DWORD error = 0;
    if (!calls.Complete(HttpSendRequestExA(hRequest, &buffers, nullptr, 0, calls.Context()),
                        &error)) {
        ThrowHttpError(kHttpSendRequestExFailed, error);
    }
}

void CHttpToolA::InternetWriteFile(HINTERNET hRequest, const void* pbyBuff, DWORD cbyBuff,
                                   InternetCalls& calls) {
    if (hRequest == nullptr) {
        ThrowHttpPrecondition("CHttpToolA::InternetWriteFile: hRequest can not be NULL.");
    }
    if (pbyBuff == nullptr) {
        ThrowHttpPrecondition("CHttpToolA::InternetWriteFile: pbyBuff can not be NULL.");
    }
    if (cbyBuff == 0) {
        ThrowHttpPrecondition("CHttpToolA::InternetWriteFile: cbyBuff can not be zero.");
    }
    const char* at = static_cast<const char*>(pbyBuff);
    while (cbyBuff > 0) {
        // A write that completes later reads its bytes then: they go from the call's own
        // memory, never from the caller's.
        const DWORD piece = std::min(cbyBuff, InternetCalls::kScratchBytes);
        std::memcpy(calls.Scratch(), at, piece);
        DWORD& written = calls.Count();
        written = 0;
        DWORD error = 0;
        if (!calls.Complete(::InternetWriteFile(hRequest, calls.Scratch(), piece, &written),
                            &error)) {
            ThrowHttpError(kHttpWriteFileFailed, error);
        }
        // A write that takes nothing would never end.
        if (written == 0 || written > piece) ThrowHttpError(kHttpWriteFileFailed);
        at += written;
        cbyBuff -= written;
    }
}

void CHttpToolA::EndRequest(HINTERNET hRequest, InternetCalls& calls) {
    if (hRequest == nullptr)
        ThrowHttpPrecondition("CHttpToolA::EndRequest: hRequest can not be NULL.");
    DWORD error = 0;
    if (!calls.Complete(HttpEndRequestA(hRequest, nullptr, 0, calls.Context()), &error)) {
        ThrowHttpError(kHttpEndRequestFailed, error);
    }
}

uint64_t CHttpToolA::GetFileSize(HANDLE hFile, const char* szFilePath) {
    if (hFile == nullptr) ThrowHttpPrecondition("CHttpToolA::GetFileSize: hFile can not be NULL.");
    if (szFilePath == nullptr) {
        ThrowHttpPrecondition("CHttpToolA::GetFileSize: szFilePath can not be NULL.");
    }
    DWORD high = 0;
    SetLastError(NO_ERROR);
    const DWORD low = ::GetFileSize(hFile, &high);
    const DWORD error = GetLastError();
    // INVALID_FILE_SIZE is also a valid low part; only the error says which.
    if (low == INVALID_FILE_SIZE && error != NO_ERROR) {
        ThrowHttpError(kHttpFileSizeFailed, szFilePath, error);
    }
    return (static_cast<uint64_t>(high) << 32) | low;
}

std::string CHttpToolA::GetMimeType(HANDLE hFile, UINT codePage) {
    if (hFile == nullptr) ThrowHttpPrecondition("CHttpToolA::GetMimeType: hFile can not be NULL.");
    std::wstring type;
    try {
        type = CHttpToolW::GetMimeType(hFile);
    } catch (const httpclientexceptionW& e) {
        // The narrow client reports in narrow text; the codes are the same.
        ThrowHttpError(e.LastError(), e.Win32LastError());
    }
    return Unicode2Ansi(type.c_str(), codePage);
}

std::wstring CHttpToolW::GetMimeType(HANDLE hFile) {
    if (hFile == nullptr)
        ThrowHttpPreconditionW(L"CHttpToolW::GetMimeType: hFile can not be NULL.");
    const std::wstring fallback = L"application/octet-stream";
    if (hFile == INVALID_HANDLE_VALUE) return fallback;

    BYTE head[kSniffBytes];
    DWORD read = 0;
    if (!ReadFile(hFile, head, sizeof(head), &read, nullptr)) {
        const DWORD error = GetLastError();
        throw httpclientexceptionW(HttpErrorTextW(kHttpFileReadFailed).c_str(), kHttpFileReadFailed,
                                   error);
    }
    // The body is read from the start again.
    if (SetFilePointer(hFile, 0, nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER) {
        const DWORD error = GetLastError();
        throw httpclientexceptionW(HttpErrorTextW(kHttpSeekFailed).c_str(), kHttpSeekFailed, error);
    }
    LPWSTR mime = nullptr;
    const HRESULT hr = FindMimeFromData(nullptr,  // no bind context
                                        nullptr,  // no URL
                                        head, read,
                                        nullptr,  // no proposed type
                                        0,        // default flags
                                        &mime,
                                        0);  // reserved
    if (FAILED(hr) || mime == nullptr) return fallback;
    std::wstring type(mime);
    CoTaskMemFree(mime);
    return type;
}

std::string CHttpToolA::Unicode2Ansi(const wchar_t* text, UINT codePage) {
    RefuseUtfCodePage(codePage,
                      "CHttpToolA::Unicode2Ansi: CP_UTF8 and CP_UTF7 can not be used for the "
                      "CodePage parameter.");
    try {
        return CHttpToolW::Unicode2Ansi(text, codePage);
    } catch (const httpclientexceptionW& e) {
        ThrowHttpError(e.LastError(), e.Win32LastError());
    }
}

std::string CHttpToolW::Unicode2Ansi(const wchar_t* text, UINT codePage) {
    if (codePage == CP_UTF8 || codePage == CP_UTF7) {
        ThrowHttpPreconditionW(
            L"CHttpToolW::Unicode2Ansi: CP_UTF8 and CP_UTF7 can not be used for the CodePage "
            L"parameter.");
    }
    if (text == nullptr || text[0] == L'\0') return std::string();
    const int size = WideCharToMultiByte(codePage, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::vector<char> out(size > 0 ? size : 1);
    if (size <= 0 ||
        WideCharToMultiByte(codePage, 0, text, -1, out.data(), size, nullptr, nullptr) <= 0) {
        const DWORD error = GetLastError();
        throw httpclientexceptionW(HttpErrorTextW(kHttpWideToMultiFailed).c_str(),
                                   kHttpWideToMultiFailed, error);
    }
    return std::string(out.data());
}

std::wstring CHttpToolW::Ansi2Unicode(const char* text, UINT codePage) {
    if (codePage == CP_UTF8 || codePage == CP_UTF7) {
        ThrowHttpPreconditionW(
            L"CHttpToolW::Ansi2Unicode: CP_UTF8 and CP_UTF7 can not be used for the CodePage "
            L"parameter.");
    }
    if (text == nullptr || text[0] == '\0') return std::wstring();
    const int size = MultiByteToWideChar(codePage, 0, text, -1, nullptr, 0);
    std::vector<wchar_t> out(size > 0 ? size : 1);
    if (size <= 0 || MultiByteToWideChar(codePage, 0, text, -1, out.data(), size) <= 0) {
        const DWORD error = GetLastError();
        throw httpclientexceptionW(HttpErrorTextW(kHttpMultiToWideFailed).c_str(),
                                   kHttpMultiToWideFailed, error);
    }
    return std::wstring(out.data());
}

WinCodePageText::WinCodePageText(UINT codePage) : codePage_(codePage) {
    for (int b = 0x80; b < 0x100; ++b) {
        lead_[b] = IsDBCSLeadByteEx(codePage, static_cast<BYTE>(b)) != FALSE;
    }
}

size_t WinCodePageText::CharToUtf8(const char* ch, size_t size, char out[7]) const {
    WCHAR wide[2];
    const int wideSize = MultiByteToWideChar(codePage_, 0, ch, static_cast<int>(size), wide, 2);
    if (wideSize <= 0) ThrowHttpError(kHttpMultiToWideFailed, GetLastError());
    const int utf8Size = WideCharToMultiByte(CP_UTF8, 0, wide, wideSize, out, 7, nullptr, nullptr);
    if (utf8Size <= 0) ThrowHttpError(kHttpWideToMultiFailed, GetLastError());
    return static_cast<size_t>(utf8Size);
}

std::unique_ptr<IHttpPostFile> WinFileOpener::Open(const char* path, uint32_t& error) {
    UniqueFile file(CreateFileA(path, GENERIC_READ,
                                FILE_SHARE_READ,  // others may read while we send
                                nullptr,          // default security
                                OPEN_EXISTING,    // never create
                                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN,
                                nullptr));  // no template
    if (!file) {
        error = GetLastError();
        return nullptr;
    }
    return std::make_unique<WinPostFile>(std::move(file), path, codePage_);
}

}  // namespace Torva
