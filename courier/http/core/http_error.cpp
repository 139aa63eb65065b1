#include "http_error.h"

#include <limits>

namespace Torva {
namespace {

const char* const kGeneralTexts[] = {
    "Unexpected error occurred.",
    "The index is out of range.",
    "Out of memory.",
    "The requested URL is not a valid URL.",
    "The post context is not started yet.",
    "Couldn't read expected bytes from a file.",
    "The post context has not been finished yet.",
    "The port number is not valid.",
    "std::exception occurred.",
    "The encoded URL is not valid.",
    "The UTF8 string contains an invalid character.",
    "An unexpected arithmetic error has been occurred.",
    "An arithmetic overflow error has been occurred.",
    "An interger divide by zero exception has been occurred.",
    "The file (%s) aleady exists.",
};

const char* const kInternetTexts[] = {
    "::HttpQueryInfo failed.",   "::InternetReadFile failed.",  "::InternetOpen failed.",
    "::InternetConnect failed.", "::HttpOpenRequest failed.",   "::HttpAddRequestHeaders failed.",
    "::HttpSendRequest failed.", "::HttpSendRequestEx failed.", "::InternetWriteFile failed.",
    "::HttpEndRequest failed.",  "::InternetSetOption failed.",
};

const char* const kSystemTexts[] = {
    "::WideCharToMultiByte failed.",
    "::MultiByteToWideChar failed.",
    "::ReadFile failed.",
    "OpenFile (::CreateFile) failed (\"%s\").",
    "::SetFilePointer failed.",
    "::GetFileSize failed (\"%s\").",
    "::WriteFile failed (\"%s\").",
};

constexpr size_t kMessageBuffer = 512;

template <size_t N>
const char* Row(const char* const (&rows)[N], uint32_t index) {
    return index < N ? rows[index] : "Not specified";
}

// Puts `arg` in place of the first "%s" of `pattern` and cuts the result where a
// 512-byte buffer with its terminator would.
template <class Char>
std::basic_string<Char> Substitute(const char* pattern, const Char* arg) {
    std::basic_string<Char> out;
    for (const char* p = pattern; *p != '\0'; ++p) {
        if (arg != nullptr && p[0] == '%' && p[1] == 's') {
            out += arg;
            arg = nullptr;
            ++p;
        } else {
            out += static_cast<Char>(*p);
        }
    }
    if (out.size() > kMessageBuffer - 1) out.resize(kMessageBuffer - 1);
    return out;
}

}  // namespace

const char* HttpErrorText(uint32_t code) {
    if (code >= 100 && code < 200) return Row(kGeneralTexts, code - 100);
    if (code >= 400 && code < 600) return Row(kInternetTexts, code % 100);
    if (code >= 600 && code < 1000) return Row(kSystemTexts, code % 100);
    if (code >= 1000) return "user-defined error message";
    return "Not specified";
}

std::string HttpErrorText(uint32_t code, const char* arg) {
    return Substitute<char>(HttpErrorText(code), arg != nullptr ? arg : "NULL");
}

std::wstring HttpErrorTextW(uint32_t code, const wchar_t* arg) {
    return Substitute<wchar_t>(HttpErrorText(code), arg != nullptr ? arg : L"NULL");
}

errmsg_exceptionA::errmsg_exceptionA(const char* message)
    : message_(std::make_shared<const std::string>(message != nullptr ? message : "NULL")) {}

errmsg_exceptionW::errmsg_exceptionW(const wchar_t* message)
    : message_(std::make_shared<const std::wstring>(message != nullptr ? message : L"NULL")) {}

void ThrowHttpError(uint32_t code, uint32_t win32Error) {
    throw httpclientexceptionA(HttpErrorText(code), code, win32Error);
}

void ThrowHttpError(uint32_t code, const char* path, uint32_t win32Error) {
    throw httpclientexceptionA(HttpErrorText(code, path).c_str(), code, win32Error);
}

void ThrowHttpPrecondition(const char* text) {
    throw httpclientexceptionA(text, kHttpNotSpecified);
}

void ThrowHttpPreconditionW(const wchar_t* text) {
    throw httpclientexceptionW(text, kHttpNotSpecified);
}

uint32_t CheckedAdd(uint32_t a, uint32_t b) {
    if (b > std::numeric_limits<uint32_t>::max() - a) ThrowHttpError(kHttpOverflow);
    return a + b;
}

}  // namespace Torva
