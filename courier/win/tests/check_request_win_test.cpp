// The MD5 check against the loopback sample server: the request on the wire, and how
// every kind of answer (or none) turns into a result.
#include <gtest/gtest.h>

#include <string>

#include "md5_check_request.h"
#include "sample_session_win.h"

namespace {

const std::string kDigest = "0123456789ABCDEF0123456789ABCDEF";
const std::string kPrimerDigest = "FEDCBA9876543210FEDCBA9876543210";

int Check(Md5CheckRequest& check, const std::string& url, const std::string& digest) {
    check.AddParam("OptionVxMd5", digest.c_str());
    check.AddParam("Language", "Chs");
    return check.Send(url.c_str());
}

}  // namespace

TEST(Md5CheckRequest, SendsTheFormByteForByte) {
    SampleSession session("CheckForm");
    ASSERT_TRUE(session.ready()) << "no sample server (KV_SAMPLE_SERVER_DIR)";
    Md5CheckRequest check;
    EXPECT_EQ("", check.GetText());
    ASSERT_EQ(0, Check(check, session.CheckUrl(), kDigest));
    EXPECT_EQ("1\r\n", check.GetText());

    const std::vector<SampleRecord> records = session.Records();
    ASSERT_EQ(1u, records.size());
    const SampleRecord& r = records[0];
    EXPECT_EQ("POST /work/MD5_Check.php?t=" + session.name() + " HTTP/1.1", r.line);
    EXPECT_EQ("Language=Chs&OptionVxMd5=" + kDigest, r.body);
    EXPECT_EQ("application/x-www-form-urlencoded", r.Header("Content-Type"));
    EXPECT_EQ(std::to_string(r.body.size()), r.Header("Content-Length"));
    EXPECT_EQ("Torva HTTP Client Class", r.Header("User-Agent"));
    EXPECT_EQ(1, r.HeaderCount("Connection"));
    EXPECT_TRUE(r.complete);
    EXPECT_EQ("", r.beyond);
}

// Only a 200 with a body that fits is an answer; anything else fails and leaves the
// text of the last successful check as it was.
TEST(Md5CheckRequest, AnswersAndFailures) {
    SampleSession primer("CheckPrimer");
    ASSERT_TRUE(primer.ready()) << "no sample server (KV_SAMPLE_SERVER_DIR)";
    const std::string longest(10239, 'x');
    struct Case {
        const char* what;
        const char* setting;  // set for the case's session, with `value`
        std::string value;
        int result;
        std::string text;  // the text after the check
        DWORD limitMs = 30000;  // each call's and the whole request's
    };
    const Case cases[] = {
        {"known sample", "stored", "", 0, "0\r\n"},
        {"answer without line end", "answer", "0", 0, "0"},
        {"text up to the first NUL", "answer", std::string("-1\0tail", 7), 0, "-1"},
        {"10239-byte answer", "answer", longest, 0, longest},
        {"10240-byte answer", "answer", longest + "y", 2, "1\r\n"},
        {"not found", "status", "404", 2, "1\r\n"},
        {"server error", "status", "500", 2, "1\r\n"},
        {"proxy authentication", "status", "407", 2, "1\r\n"},
        {"redirect, not followed", "status", "302", 2, "1\r\n"},
        {"closed without an answer", "mode", "close", 2, "1\r\n"},
        {"never answers", "mode", "hang", 2, "1\r\n", 1500},
        {"refused port", "refused", "", 1, "1\r\n"},
        {"chunked", "mode", "chunked", 0, "0\r\n"},
        {"no length, to the close", "mode", "no-length", 0, "0\r\n"},
        {"closed before its length", "mode", "early-close", 2, "1\r\n"},
        {"a byte now and then", "mode", "drip", 2, "1\r\n", 1500},
        {"oversized", "mode", "oversized", 2, "1\r\n"},
        {"200 without a body", "mode", "empty-body", 2, "1\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SampleSession session(std::string("Check-") + std::to_string(&c - cases));
        const std::string setting = c.setting;
        // The chunked and unmeasured answers are the stored sample's "0".
        if (setting == "stored" || c.text == "0\r\n") session.StoreSample(kDigest);
        if (setting != "stored" && setting != "refused") session.Set(setting, c.value);
        std::string url = session.CheckUrl();
        if (setting == "refused") url = "http://127.0.0.1:" + std::to_string(RefusedPort()) + "/";

        Md5CheckRequest check;
        check.SetTimeouts(c.limitMs);
        check.SetDeadline(c.limitMs);
        ASSERT_EQ(0, Check(check, primer.CheckUrl(), kPrimerDigest));
        ASSERT_EQ("1\r\n", check.GetText());
        const DWORD start = GetTickCount();
        EXPECT_EQ(c.result, Check(check, url, kDigest));
        EXPECT_EQ(c.text, check.GetText());
        // A server that never answers, or answers a byte now and then, holds the check no
        // longer than its time limit.
        EXPECT_LT(GetTickCount() - start, c.limitMs + 5000u);
        if (setting != "refused") {
            // Redirects are not followed: the server sees the one post.
            const std::vector<SampleRecord> records = session.Records();
            ASSERT_EQ(1u, records.size());
            EXPECT_EQ(0u, records[0].line.find("POST "));
            EXPECT_EQ(1, records[0].HeaderCount("Connection"));
        }
    }
}
