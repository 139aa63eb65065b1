// The body of a post through the post context: what it announces, what it writes, in
// which order, and how its statistics move.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "http_error.h"
#include "http_post.h"
#include "post_fakes.h"

using posttest::CollectingSink;
using posttest::MemoryFiles;
using Torva::CHttpClientMapT;
using Torva::CHttpPostContext;
using Torva::CHttpPostStatT;
using Torva::httpclientexceptionA;

namespace {

const std::string kBoundary = "----PELMA-0123456789abcdef0123456789abcdef-";

struct Param {
    std::string name;
    std::string value;  // for a file: its path
    bool isFile;
};

// The multipart body as a server reads it, built here from the rules of the format.
std::string ExpectedMultipart(const std::vector<Param>& ordered, const MemoryFiles& files) {
    if (ordered.empty()) return "\r\n--" + kBoundary + "--\r\n";
    std::string body;
    for (const Param& p : ordered) {
        body += "--" + kBoundary + "\r\nContent-Disposition: form-data; name=\"" + p.name + "\"";
        if (p.isFile) {
            auto it = files.files.find(p.value);
            const bool exists = it != files.files.end();
            body += "; filename=\"" + p.value +
                    "\"\r\nContent-Type: " + (exists ? "text/x-test" : "application/octet-stream") +
                    "\r\n\r\n" + (exists ? it->second : "") + "\r\n";
        } else {
            body += "\r\n\r\n" + p.value + "\r\n";
        }
    }
    return body + "--" + kBoundary + "--\r\n";
}

// The announced length by the per-part rule: (L + 4) + 43 + name + value + 2 for a
// value, (L + 4) + 72 + name + path + type + size + 2 for a file, L + 6 at the end.
uint32_t FormulaLength(const std::vector<Param>& params, const MemoryFiles& files) {
    const size_t L = kBoundary.size();
    if (params.empty()) return static_cast<uint32_t>(L + 8);
    size_t total = L + 6;
    for (const Param& p : params) {
        if (p.isFile) {
            auto it = files.files.find(p.value);
            const bool exists = it != files.files.end();
            total += (L + 4) + 72 + p.name.size() + p.value.size() +
                     std::string(exists ? "text/x-test" : "application/octet-stream").size() +
                     (exists ? it->second.size() : 0) + 2;
        } else {
            total += (L + 4) + 43 + p.name.size() + p.value.size() + 2;
        }
    }
    return static_cast<uint32_t>(total);
}

std::string Bytes(size_t size) {
    std::string s(size, '\0');
    for (size_t i = 0; i < size; ++i) s[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
    return s;
}

}  // namespace

TEST(MultipartBody, AnnouncedLengthEqualsBytesWritten) {
    MemoryFiles files;
    files.files = {{"C:\\s\\empty.bin", ""},
                   {"C:\\s\\below.bin", Bytes(57343)},
                   {"C:\\s\\piece.bin", Bytes(57344)},
                   {"C:\\s\\above.bin", Bytes(57345)},
                   {"C:\\s\\small.exe", Bytes(300)}};
    struct Case {
        const char* what;
        std::vector<Param> params;  // in the order the server sees them
    };
    const Case cases[] = {
        {"no parameters", {}},
        {"empty value", {{"Language", "", false}}},
        {"empty file", {{"UploadFile", "C:\\s\\empty.bin", true}}},
        {"one byte below a read piece", {{"UploadFile", "C:\\s\\below.bin", true}}},
        {"exactly one read piece", {{"UploadFile", "C:\\s\\piece.bin", true}}},
        {"one byte above a read piece", {{"UploadFile", "C:\\s\\above.bin", true}}},
        {"missing file is an empty part", {{"UploadFile", "C:\\s\\gone.bin", true}}},
        {"values and files mixed",
         {{"a", "C:\\s\\small.exe", true},
          {"Language", "Chs", false},
          {"OptionVxMd5", "0123456789ABCDEF0123456789ABCDEF", false},
          {"UploadFile", "C:\\s\\above.bin", true},
          {"UserID", "", false},
          {"z", "C:\\s\\empty.bin", true}}},
    };
    for (const Case& c : cases) {
        const std::vector<Param>& params = c.params;
        // Small steps as the requests take them, and one step larger than a read piece.
        for (uint32_t desired : {1024u, 1u << 20}) {
            SCOPED_TRACE(std::string(c.what) + ", desired " + std::to_string(desired));
            CHttpClientMapT map;
            // Added in reverse: the body follows the names, not the order of adding.
            for (auto it = params.rbegin(); it != params.rend(); ++it) {
                map.Add(it->name.c_str(), it->value.c_str(),
                        it->isFile ? uint32_t{Torva::kParamFile} : 0u);
            }
            CHttpPostContext post;
            const uint32_t announced = post.PrepareMultipart(map, kBoundary, files, false, {});
            post.Activate();
            CollectingSink sink;
            posttest::RunToEnd(post, sink, desired);
            EXPECT_EQ(FormulaLength(params, files), announced);
            EXPECT_EQ(announced, sink.bytes.size());
            EXPECT_EQ(ExpectedMultipart(params, files), sink.bytes);
            for (const posttest::MemoryFile* f : files.opened) {
                EXPECT_LE(f->largestRead, Torva::kPostReadPiece);
            }
            files.opened.clear();
            // Complete, and active until the client hands the answer over.
            EXPECT_TRUE(post.Stat().IsBodyComplete());
            EXPECT_TRUE(post.Reset());
        }
    }
}

TEST(UrlEncodedBody, NamesOrderedWithoutCaseAndValuesEncoded) {
    struct Case {
        std::vector<std::pair<const char*, const char*>> added;
        uint32_t attribute;
        std::string body;
    };
    const Case cases[] = {
        {{{"OptionVxMd5", "0123456789ABCDEF0123456789ABCDEF"}, {"Language", "Chs"}},
         0,
         "Language=Chs&OptionVxMd5=0123456789ABCDEF0123456789ABCDEF"},
        {{{"v", "a b&c"}}, 0, "v=a+b%26c"},
        {{{"b", "1"}, {"A", "2"}, {"a", "3"}, {"B", "4"}, {"_", "5"}}, 0, "%5F=5&A=2&a=3&b=1&B=4"},
        {{{"n m", "x=y/\xE9~"}}, 0, "n+m=x%3Dy%2F%E9%7E"},
        {{{"n m", "x y"}}, Torva::kParamNameRaw | Torva::kParamValueRaw, "n m=x y"},
        {{{"empty", ""}, {"null", nullptr}}, 0, "empty=&null="},
        {{}, 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.body);
        CHttpClientMapT map;
        for (const auto& [name, value] : c.added) map.Add(name, value, c.attribute);
        CHttpPostContext post;
        const uint32_t announced = post.PrepareUrlEncoded(map, {});
        post.Activate();
        CollectingSink sink;
        posttest::RunToEnd(post, sink, 1024);
        EXPECT_EQ(c.body, sink.bytes);
        EXPECT_EQ(announced, sink.bytes.size());
    }
}

TEST(PostStatistics, PreparedCopyThenLiveCountsUpToTheTotals) {
    MemoryFiles files;
    files.files = {{"C:\\f.bin", Bytes(3000)}};
    CHttpClientMapT map;
    map.Add("UploadFile", "C:\\f.bin", Torva::kParamFile);
    map.Add("Language", "Chs", 0);
    CHttpPostContext post;
    const uint32_t announced = post.PrepareMultipart(map, kBoundary, files, false, {});
    post.Activate();

    // Before the first step, the snapshot already has the first parameter started.
    CHttpPostStatT stat;
    post.Snapshot(stat);
    EXPECT_EQ(1u, stat.PostedCount());
    EXPECT_STREQ("Language", stat.CurrParamName());
    EXPECT_EQ(nullptr, stat.CurrParamFilePath());
    EXPECT_EQ(3u, stat.CurrParamRemainByte());
    EXPECT_EQ(3003u, stat.TotalByte());
    EXPECT_EQ(2u, stat.TotalCount());
    EXPECT_EQ(1u, stat.FileCount());
    EXPECT_EQ(0u, stat.PostedByte());
    EXPECT_EQ(0u, post.Stat().PostedCount());

    CollectingSink sink;
    uint32_t lastPosted = 0;
    bool sawFile = false;
    while (post.Proceed(1024, sink) == CHttpPostContext::Step::kWrote) {
        post.Snapshot(stat);
        EXPECT_GE(stat.PostedByte(), lastPosted);
        EXPECT_LE(stat.PostedByte() - lastPosted, 1024u);
        lastPosted = stat.PostedByte();
        EXPECT_EQ(sink.bytes.size(), stat.ActualPostedByte());
        if (stat.CurrParamIsFile()) {
            sawFile = true;
            EXPECT_STREQ("C:\\f.bin", stat.CurrParamFilePath());
            EXPECT_EQ(1u, stat.PostedFileCount());
        }
    }
    EXPECT_TRUE(sawFile);
    EXPECT_EQ(3003u, lastPosted);
    EXPECT_EQ(announced, sink.bytes.size());

    // The complete body hands over: the statistics go inactive and say so by name.
    EXPECT_TRUE(post.Reset());
    post.Snapshot(stat);
    try {
        stat.CurrParamRemainByte();
        ADD_FAILURE() << "no exception";
    } catch (const httpclientexceptionA& e) {
        EXPECT_EQ(0u, e.LastError());
        EXPECT_STREQ("CHttpPostStatT::CurrParamRemainByte: The post context is not active.",
                     e.GetErrMsg());
    }
    try {
        stat.IsBodyComplete();
        ADD_FAILURE() << "no exception";
    } catch (const httpclientexceptionA& e) {
        EXPECT_STREQ("CHttpPostStatT::ActualTotalByte: The post context is not active.",
                     e.GetErrMsg());
    }
}

// Files that cannot be sent as announced fail before anything is written, and a file
// that shrinks after its size was announced never puts a short body on the wire as if
// it were whole.
TEST(MultipartBody, FilesThatCannotBeSentWhole) {
    const uint64_t kFourGiB = 1ull << 32;
    struct Case {
        const char* what;
        uint64_t announcedSize;
        bool strict;
        bool exists;
        uint32_t code;
    };
    const Case cases[] = {
        {"missing, strict check", 0, true, false, Torva::kHttpFileOpenFailed},
        {"4 GiB + 10 bytes", kFourGiB + 10, false, true, Torva::kHttpOverflow},
        {"exactly 4 GiB", kFourGiB, false, true, Torva::kHttpOverflow},
        {"shrank after opening", 5000, false, true, Torva::kHttpShortFileRead},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        MemoryFiles files;
        if (c.exists) {
            files.files["C:\\x.bin"] = Bytes(4000);
            files.sizes["C:\\x.bin"] = c.announcedSize;
        }
        CHttpClientMapT map;
        map.Add("UploadFile", "C:\\x.bin", Torva::kParamFile);
        CHttpPostContext post;
        CollectingSink sink;
        try {
            post.PrepareMultipart(map, kBoundary, files, c.strict, {});
            post.Activate();
            posttest::RunToEnd(post, sink, 1024);
            ADD_FAILURE() << "no exception";
        } catch (const httpclientexceptionA& e) {
            EXPECT_EQ(c.code, e.LastError());
            if (c.code == Torva::kHttpFileOpenFailed) {
                EXPECT_STREQ("OpenFile (::CreateFile) failed (\"C:\\x.bin\").", e.GetErrMsg());
                EXPECT_EQ(2u, e.Win32LastError());
            }
        }
        if (c.code == Torva::kHttpShortFileRead) {
            EXPECT_LT(sink.bytes.size(), post.Stat().ActualTotalByte());
        } else {
            EXPECT_TRUE(sink.bytes.empty());
        }
    }
}

TEST(PostContext, RefusesStepsItCannotTake) {
    CHttpClientMapT map;
    map.Add("a", "b", 0);
    CHttpPostContext post;
    CollectingSink sink;
    EXPECT_THROW(
        try { post.Proceed(1024, sink); } catch (const httpclientexceptionA& e) {
            EXPECT_EQ(Torva::kHttpPostNotStarted, e.LastError());
            throw;
        },
        httpclientexceptionA);
    post.PrepareUrlEncoded(map, {});
    post.Activate();
    EXPECT_THROW(
        try { post.Proceed(0, sink); } catch (const httpclientexceptionA& e) {
            EXPECT_STREQ("CHttpClientT::_ProceedPostContext: nDesired can not be zero.",
                         e.GetErrMsg());
            throw;
        },
        httpclientexceptionA);
    EXPECT_TRUE(post.Reset());
    EXPECT_FALSE(post.Reset());
}
