#include "http_url.h"

#include <cstring>

#include "http_error.h"

namespace Torva {
namespace {

// The first of `stops` at or after `from`, stepping over whole characters; `end` when
// there is none.
size_t FindAny(const char* url, size_t from, size_t end, const char* stops,
               const CodePageText& cp) {
    size_t i = from;
    while (i < end) {
        if (std::strchr(stops, url[i]) != nullptr) return i;
        i += CharLength(cp, url + i);
    }
    return end;
}

size_t FindSchemeEnd(const char* url, size_t end, const CodePageText& cp) {
    for (size_t i = 0; i < end; i += CharLength(cp, url + i)) {
        if (end - i >= 3 && std::memcmp(url + i, "://", 3) == 0) return i;
    }
    return end;
}

bool EqualsIgnoringCase(const char* text, size_t size, const char* lower) {
    if (std::strlen(lower) != size) return false;
    for (size_t i = 0; i < size; ++i) {
        char c = text[i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != lower[i]) return false;
    }
    return true;
}

uint16_t ParsePort(const char* text, size_t size, bool secure) {
    if (size == 0) return secure ? 443 : 80;
    if (size > 5) ThrowHttpError(kHttpInvalidPort);
    uint32_t port = 0;
    for (size_t i = 0; i < size; ++i) {
        if (text[i] < '0' || text[i] > '9') ThrowHttpError(kHttpInvalidPort);
        port = port * 10 + static_cast<uint32_t>(text[i] - '0');
    }
    if (port == 0 || port > 65535) ThrowHttpError(kHttpInvalidPort);
    return static_cast<uint16_t>(port);
}

}  // namespace

CHttpUrlAnalyzerT::Result CHttpUrlAnalyzerT::Analyze(const char* url, const CodePageText& cp) {
    if (url == nullptr) ThrowHttpPrecondition("CHttpUrlAnalyzerT::Analyze: szUrl can not be NULL.");
    if (cp.CodePage() == kCodePageUtf8 || cp.CodePage() == kCodePageUtf7) {
        ThrowHttpPrecondition(
            "CHttpUrlAnalyzerT::Analyze: CP_UTF8 and CP_UTF7 can not be used for the CodePage "
            "parameter.");
    }
    const size_t end = std::strlen(url);
    Result r;
    size_t at = 0;
    const size_t schemeEnd = FindSchemeEnd(url, end, cp);
    if (schemeEnd != end) {
        r.scheme = {0, schemeEnd};
        at = schemeEnd + 3;
    }
    const size_t hostEnd = FindAny(url, at, end, ":/?#", cp);
    r.host = {at, hostEnd - at};
    at = hostEnd;
    if (at < end && url[at] == ':') {
        const size_t portEnd = FindAny(url, at + 1, end, "/?#", cp);
        r.port = {at + 1, portEnd - at - 1};
        at = portEnd;
    }
    if (at < end && url[at] == '/') {
        const size_t pathEnd = FindAny(url, at, end, "?#", cp);
        r.path = {at, pathEnd - at};
        at = pathEnd;
    }
    if (at < end && url[at] == '?') {
        const size_t queryEnd = FindAny(url, at, end, "#", cp);
        r.query = {at, queryEnd - at};
        at = queryEnd;
    }
    if (at < end) r.fragment = {at, end - at};
    return r;
}

HttpRequestTarget ResolveRequestTarget(const char* url, bool useCache, const CodePageText& cp) {
    const CHttpUrlAnalyzerT::Result r = CHttpUrlAnalyzerT::Analyze(url, cp);
    const bool secure = EqualsIgnoringCase(url + r.scheme.pos, r.scheme.len, "https");

    HttpRequestTarget target;
    target.port = ParsePort(url + r.port.pos, r.port.len, secure);
    if (!r.host.present()) ThrowHttpError(kHttpInvalidUrl);
    target.host.assign(url + r.host.pos, r.host.len);

    // Path, query and fragment as they stand; without a path, "/" before the rest.
    const size_t rest = r.path.present()       ? r.path.pos
                        : r.query.present()    ? r.query.pos
                        : r.fragment.present() ? r.fragment.pos
                                               : std::strlen(url);
    if (!r.path.present()) target.objectName = "/";
    target.objectName += url + rest;

    target.flags = useCache
                       ? (kFlagKeepConnection | kFlagResynchronize | kFlagHyperlink | kFlagNoUi)
                       : (kFlagReload | kFlagNoCacheWrite | kFlagKeepConnection | kFlagNoUi);
    target.flags |= kFlagNoAutoRedirect;
    if (secure) target.flags |= kFlagSecure;
    return target;
}

}  // namespace Torva
