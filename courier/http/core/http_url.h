#pragma once
// Splitting a URL into its pieces, and what a request to it needs: host, port, object
// name and request flags.
#include <cstdint>
#include <string>

#include "http_encoder.h"

namespace Torva {

// WinINet request flags, by value: the portable core does not see wininet.h.
enum HttpRequestFlag : uint32_t {
    kFlagReload = 0x80000000,
    kFlagNoCacheWrite = 0x04000000,
    kFlagSecure = 0x00800000,
    kFlagKeepConnection = 0x00400000,
    kFlagNoAutoRedirect = 0x00200000,
    kFlagResynchronize = 0x00000800,
    kFlagHyperlink = 0x00000400,
    kFlagNoUi = 0x00000200,
    kFlagPragmaNoCache = 0x00000100,
};

class CHttpUrlAnalyzerT {
public:
    struct Piece {
        size_t pos = 0;
        size_t len = 0;
        bool present() const { return len != 0; }
    };
    // Scheme (before "://"), host, port (after ":"), path (from "/"), query (from "?",
    // included) and fragment (from "#", included).
    struct Result {
        Piece scheme, host, port, path, query, fragment;
    };

    // Splits `url`; a lead byte and its trail byte always count together, so a trail
    // byte is never taken for a delimiter. Refuses the UTF-7 and UTF-8 code pages.
    static Result Analyze(const char* url, const CodePageText& cp);
};

// Where a post goes and how it is opened.
struct HttpRequestTarget {
    std::string host;
    uint16_t port = 80;
    std::string objectName;
    uint32_t flags = 0;
};

// Host, port (80, or 443 for "https"; 107 for anything but 1 to 65535 in at most five
// digits; an empty port text means the default), object name (path onward, "/" when
// there is no path) and flags. 103 for an empty host. Redirects are never followed:
// a post that a server answers with a redirect fails instead of being resent as a GET
// to wherever the answer points.
HttpRequestTarget ResolveRequestTarget(const char* url, bool useCache, const CodePageText& cp);

}  // namespace Torva
