#pragma once
// Failures of the HTTP client. Inside the client every failure is an exception that
// carries a numeric code, a message and the system error of the failing call; the
// request wrappers above it turn them into small result codes, so nothing of this
// leaves the component.
#include <cstdint>
#include <exception>
#include <memory>
#include <string>

namespace Torva {

enum HttpErrorCode : uint32_t {
    kHttpNotSpecified = 0,  // also every precondition, whose own text is the message
    kHttpUnexpected = 100,
    kHttpIndexOutOfRange = 101,
    kHttpOutOfMemory = 102,
    kHttpInvalidUrl = 103,
    kHttpPostNotStarted = 104,
    kHttpShortFileRead = 105,
    kHttpPostNotFinished = 106,
    kHttpInvalidPort = 107,
    kHttpStdException = 108,
    kHttpInvalidEncodedUrl = 109,
    kHttpInvalidUtf8 = 110,
    kHttpArithmetic = 111,
    kHttpOverflow = 112,
    kHttpDivideByZero = 113,
    kHttpFileExists = 114,
    kHttpQueryInfoFailed = 400,
    kHttpReadFileFailed = 401,
    kHttpOpenFailed = 402,
    kHttpConnectFailed = 403,
    kHttpOpenRequestFailed = 404,
    kHttpAddHeadersFailed = 405,
    kHttpSendRequestFailed = 406,
    kHttpSendRequestExFailed = 407,
    kHttpWriteFileFailed = 408,
    kHttpEndRequestFailed = 409,
    kHttpSetOptionFailed = 410,
    kHttpWideToMultiFailed = 600,
    kHttpMultiToWideFailed = 601,
    kHttpFileReadFailed = 602,
    kHttpFileOpenFailed = 603,
    kHttpSeekFailed = 604,
    kHttpFileSizeFailed = 605,
    kHttpFileWriteFailed = 606,
    kHttpUserDefined = 1000,
};

// The fixed message of `code`; "Not specified" for a code the table does not hold.
const char* HttpErrorText(uint32_t code);

// The message of `code` with `arg` (a path) in place of its "%s", cut at 511 characters
// as the fixed 512-byte message buffer does. `arg` is data, never a format.
std::string HttpErrorText(uint32_t code, const char* arg);
std::wstring HttpErrorTextW(uint32_t code, const wchar_t* arg = nullptr);

// Owns a copy of its message; "NULL" stands in for a missing one. Copies share the text,
// so copying an exception in flight never allocates.
class errmsg_exceptionA : public std::exception {
public:
    explicit errmsg_exceptionA(const char* message);
    const char* GetErrMsg() const noexcept { return message_->c_str(); }
    const char* what() const noexcept override { return GetErrMsg(); }

private:
    std::shared_ptr<const std::string> message_;
};

class httpclientexceptionA : public errmsg_exceptionA {
public:
    httpclientexceptionA(const char* message, uint32_t code, uint32_t win32Error = 0)
        : errmsg_exceptionA(message), code_(code), win32Error_(win32Error) {}
    uint32_t LastError() const noexcept { return code_; }
    uint32_t Win32LastError() const noexcept { return win32Error_; }

private:
    uint32_t code_;
    uint32_t win32Error_;
};

class errmsg_exceptionW {
public:
    explicit errmsg_exceptionW(const wchar_t* message);
    virtual ~errmsg_exceptionW() = default;
    const wchar_t* GetErrMsg() const noexcept { return message_->c_str(); }

private:
    std::shared_ptr<const std::wstring> message_;
};

class httpclientexceptionW : public errmsg_exceptionW {
public:
    httpclientexceptionW(const wchar_t* message, uint32_t code, uint32_t win32Error = 0)
        : errmsg_exceptionW(message), code_(code), win32Error_(win32Error) {}
    uint32_t LastError() const noexcept { return code_; }
    uint32_t Win32LastError() const noexcept { return win32Error_; }

private:
    uint32_t code_;
    uint32_t win32Error_;
};

// Throws the error `code` with its table message.
[[noreturn]] void ThrowHttpError(uint32_t code, uint32_t win32Error = 0);
// Throws the error `code` whose message names `path`.
[[noreturn]] void ThrowHttpError(uint32_t code, const char* path, uint32_t win32Error);
// Throws a failed precondition: code 0 with `text` as the message.
[[noreturn]] void ThrowHttpPrecondition(const char* text);
[[noreturn]] void ThrowHttpPreconditionW(const wchar_t* text);

// a + b for sizes and counts; 112 when the sum passes 2^32 - 1.
uint32_t CheckedAdd(uint32_t a, uint32_t b);

}  // namespace Torva
