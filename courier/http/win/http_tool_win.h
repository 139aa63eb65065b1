#pragma once
// The Win32 and WinINet calls of the HTTP client, each throwing its error code (with
// GetLastError) when the call fails, and the platform's side of the portable core: the
// code page's text rules and the files of a multipart post.
#include <windows.h>

#include <wininet.h>

#include <array>
#include <memory>
#include <string>

#include "http_encoder.h"
#include "http_error.h"
#include "http_post.h"
#include "internet_calls_win.h"
#include "win32/handles.h"

namespace Torva {

class CHttpToolA {
public:
    // InternetConnect to an HTTP server, without user or password (403). `context` is
    // what the handle's asynchronous calls complete into (InternetCalls::Context()).
    static HINTERNET OpenConnection(HINTERNET hInternet, const char* szServerAddr,
                                    INTERNET_PORT port, DWORD_PTR context = 0);
    // HttpOpenRequest with version "HTTP/1.1" and the accepted types "*/*" (404).
    static HINTERNET OpenRequest(HINTERNET hConnection, const char* szVerb,
                                 const char* szObjectName, DWORD flags, DWORD_PTR context = 0);
    // One header line "name: value" added to the request (405).
    static void AddHeader(HINTERNET hRequest, const char* szName, const char* szValue);
    // The three calls that wait for the server run in the session's asynchronous mode and
    // end early as `calls` limits them (the Win32 error is then
    // ERROR_INTERNET_OPERATION_CANCELLED or ERROR_INTERNET_TIMEOUT).
    // Sends the request line and headers, announcing a body of `total` bytes (407).
    static void SendRequestEx(HINTERNET hRequest, DWORD total, InternetCalls& calls);
    // Writes all `cbyBuff` bytes (408).
    static void InternetWriteFile(HINTERNET hRequest, const void* pbyBuff, DWORD cbyBuff,
                                  InternetCalls& calls);
    // Ends the request after its body and reads the answer's head (409).
    static void EndRequest(HINTERNET hRequest, InternetCalls& calls);
    // The whole size of an open file, high part included (605 with the path).
    static uint64_t GetFileSize(HANDLE hFile, const char* szFilePath);
    // The content type sniffed from the first 256 bytes of the file, in `codePage`;
    // "application/octet-stream" for an invalid handle or when sniffing fails.
    static std::string GetMimeType(HANDLE hFile, UINT codePage);
    static std::string Unicode2Ansi(const wchar_t* text, UINT codePage);
};

class CHttpToolW {
public:
    static std::wstring GetMimeType(HANDLE hFile);
    static std::wstring Ansi2Unicode(const char* text, UINT codePage);
    static std::string Unicode2Ansi(const wchar_t* text, UINT codePage);
};

// A Windows code page for the portable core.
class WinCodePageText final : public CodePageText {
public:
    explicit WinCodePageText(UINT codePage);
    unsigned CodePage() const override { return codePage_; }
    bool IsLeadByte(unsigned char byte) const override { return lead_[byte]; }
    size_t CharToUtf8(const char* ch, size_t size, char out[7]) const override;

private:
    UINT codePage_;
    std::array<bool, 256> lead_{};
};

// Opens the files of a multipart post for sequential reading.
class WinFileOpener final : public IHttpFileOpener {
public:
    explicit WinFileOpener(UINT codePage) : codePage_(codePage) {}
    std::unique_ptr<IHttpPostFile> Open(const char* path, uint32_t& error) override;

private:
    UINT codePage_;
};

}  // namespace Torva
