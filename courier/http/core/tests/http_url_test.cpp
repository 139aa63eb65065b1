// URL analysis, the request target, URL encoding and the error messages.
#include <string>

#include <gtest/gtest.h>

#include "http_error.h"
#include "http_url.h"

using Torva::httpclientexceptionA;
using Torva::HttpRequestTarget;
using Torva::ResolveRequestTarget;

namespace {

// A double-byte code page whose lead bytes are 0x81 to 0xFE, as in the East Asian ones;
// one character becomes two UTF-8 bytes made from its code.
struct DoubleByteText final : Torva::CodePageText {
    explicit DoubleByteText(unsigned codePage = 936) : codePage(codePage) {}
    unsigned CodePage() const override { return codePage; }
    bool IsLeadByte(unsigned char b) const override { return b >= 0x81 && b <= 0xFE; }
    size_t CharToUtf8(const char* ch, size_t size, char out[7]) const override {
        if (size == 1) {
            out[0] = ch[0];
            return 1;
        }
        out[0] = static_cast<char>(0xE0 | (static_cast<unsigned char>(ch[0]) >> 4));
        out[1] = static_cast<char>(0x80 | (static_cast<unsigned char>(ch[1]) & 0x3F));
        out[2] = static_cast<char>(0x80);
        return 3;
    }
    unsigned codePage;
};

const Torva::SingleByteText kSingle;
const DoubleByteText kDouble;

}  // namespace

TEST(RequestTarget, HostPortObjectAndFlags) {
    const uint32_t kNoCache = 0x84400200 | Torva::kFlagNoAutoRedirect;
    struct Case {
        const char* url;
        std::string host;
        uint16_t port;
        std::string object;
        uint32_t flags;
    };
    const Case cases[] = {
        {"http://127.0.0.1:8080/work/MD5_Check.php", "127.0.0.1", 8080, "/work/MD5_Check.php",
         kNoCache},
        {"http://h", "h", 80, "/", kNoCache},
        {"http://h?t=a b", "h", 80, "/?t=a b", kNoCache},
        {"http://h:81#top", "h", 81, "/#top", kNoCache},
        {"http://h#top", "h", 80, "/#top", kNoCache},
        {"http://h/p/q.php?x=1&y=2#frag", "h", 80, "/p/q.php?x=1&y=2#frag", kNoCache},
        {"http://h:/p", "h", 80, "/p", kNoCache},
        {"http://h:00080/p", "h", 80, "/p", kNoCache},
        {"http://h:65535", "h", 65535, "/", kNoCache},
        {"https://h/up", "h", 443, "/up", kNoCache | Torva::kFlagSecure},
        {"HTTPS://h:8443", "h", 8443, "/", kNoCache | Torva::kFlagSecure},
        {"httpx://h", "h", 80, "/", kNoCache},
        {"h:90/p", "h", 90, "/p", kNoCache},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.url);
        const HttpRequestTarget t = ResolveRequestTarget(c.url, false, kSingle);
        EXPECT_EQ(c.host, t.host);
        EXPECT_EQ(c.port, t.port);
        EXPECT_EQ(c.object, t.objectName);
        EXPECT_EQ(c.flags, t.flags);
    }
    EXPECT_EQ(0x00400E00u | Torva::kFlagNoAutoRedirect,
              ResolveRequestTarget("http://h", true, kSingle).flags);
}

TEST(RequestTarget, InvalidPortsAndHosts) {
    const std::pair<const char*, uint32_t> cases[] = {
        {"http://h:123456/", Torva::kHttpInvalidPort},
        {"http://h:65536/", Torva::kHttpInvalidPort},
        {"http://h:0/", Torva::kHttpInvalidPort},
        {"http://h:8x/", Torva::kHttpInvalidPort},
        {"http://h:-80/", Torva::kHttpInvalidPort},
        {"http://h: 80/", Torva::kHttpInvalidPort},
        {"http:///work", Torva::kHttpInvalidUrl},
        {"http://:80/", Torva::kHttpInvalidUrl},
        {"", Torva::kHttpInvalidUrl},
        {"http://?q", Torva::kHttpInvalidUrl},
    };
    for (const auto& [url, code] : cases) {
        SCOPED_TRACE(url);
        try {
            ResolveRequestTarget(url, false, kSingle);
            ADD_FAILURE() << "no exception";
        } catch (const httpclientexceptionA& e) {
            EXPECT_EQ(code, e.LastError());
            EXPECT_STREQ(Torva::HttpErrorText(code), e.GetErrMsg());
        }
    }
}

TEST(UrlAnalyzer, TrailBytesAreNeverDelimiters) {
    // 0x81 0x2F is one character whose trail byte is "/"; 0x81 0x3F ends in "?".
    const char url[] = "http://h\x81/x:81/p\x81?q?r#f";
    const auto r = Torva::CHttpUrlAnalyzerT::Analyze(url, kDouble);
    EXPECT_EQ("h\x81/x", std::string(url + r.host.pos, r.host.len));
    EXPECT_EQ("81", std::string(url + r.port.pos, r.port.len));
    EXPECT_EQ("/p\x81?q", std::string(url + r.path.pos, r.path.len));
    EXPECT_EQ("?r", std::string(url + r.query.pos, r.query.len));
    EXPECT_EQ("#f", std::string(url + r.fragment.pos, r.fragment.len));
    // Single-byte text splits the same bytes at the first "/".
    const auto s = Torva::CHttpUrlAnalyzerT::Analyze(url, kSingle);
    EXPECT_EQ("h\x81", std::string(url + s.host.pos, s.host.len));

    try {
        Torva::CHttpUrlAnalyzerT::Analyze("http://h", DoubleByteText(Torva::kCodePageUtf8));
        ADD_FAILURE() << "no exception";
    } catch (const httpclientexceptionA& e) {
        EXPECT_STREQ(
            "CHttpUrlAnalyzerT::Analyze: CP_UTF8 and CP_UTF7 can not be used for the CodePage "
            "parameter.",
            e.GetErrMsg());
    }
}

TEST(UrlEncoder, EncodesBytesOrCharactersAndCountsTheSame) {
    struct Case {
        const char* text;
        bool utf8;
        const Torva::CodePageText& cp;
        std::string encoded;
    };
    const Case cases[] = {
        {"a b&c", false, kSingle, "a+b%26c"},
        {"AZaz09-_.~", false, kSingle, "AZaz09%2D%5F%2E%7E"},
        {"\xE9", false, kSingle, "%E9"},
        {"\xE9", true, kSingle, "%C3%A9"},
        {"x\x81\x41y", false, kDouble, "x%81Ay"},
        {"x\x81\x41y", true, kDouble, "x%E8%81%80y"},
        {"", true, kDouble, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.encoded);
        EXPECT_EQ(c.encoded, Torva::CHttpEncoderA::UrlEncodeA(c.text, c.utf8, c.cp));
        EXPECT_EQ(c.encoded.size(), Torva::CHttpEncoderA::_UrlEncodeLen(c.text, c.utf8, c.cp));
    }
    EXPECT_EQ("\xC3\xA9", Torva::CHttpEncoderA::Utf8Encode("\xE9", kSingle));
    EXPECT_THROW(Torva::CHttpEncoderA::UrlEncodeA(nullptr, false, kSingle), httpclientexceptionA);
}

TEST(HttpErrors, MessagesByCodeWithPathsCutAt511) {
    EXPECT_STREQ("Not specified", Torva::HttpErrorText(0));
    EXPECT_STREQ("The port number is not valid.", Torva::HttpErrorText(107));
    EXPECT_STREQ("::HttpSendRequestEx failed.", Torva::HttpErrorText(407));
    EXPECT_STREQ("::GetFileSize failed (\"%s\").", Torva::HttpErrorText(605));
    EXPECT_STREQ("Not specified", Torva::HttpErrorText(115));
    EXPECT_STREQ("Not specified", Torva::HttpErrorText(450));
    EXPECT_STREQ("user-defined error message", Torva::HttpErrorText(1000));

    const std::string prefix = "OpenFile (::CreateFile) failed (\"";
    for (size_t length : {10u, 474u, 475u, 476u, 600u}) {
        SCOPED_TRACE(length);
        const std::string path(length, 'p');
        const std::string text = Torva::HttpErrorText(603, path.c_str());
        const std::string whole = prefix + path + "\").";
        EXPECT_EQ(whole.substr(0, 511), text);
    }
    // A path is data: its own "%s" and "%n" stay as they are.
    EXPECT_EQ("::WriteFile failed (\"C:\\%s%n\").", Torva::HttpErrorText(606, "C:\\%s%n"));
    EXPECT_EQ(L"OpenFile (::CreateFile) failed (\"C:\\a\").", Torva::HttpErrorTextW(603, L"C:\\a"));

    Torva::errmsg_exceptionA missing(nullptr);
    EXPECT_STREQ("NULL", missing.what());
}
