// Uploads against the loopback sample server: the multipart body on the wire, progress,
// cancelling from another thread, files that cannot be sent, headers across uploads and
// the machine's proxy.
#include <gtest/gtest.h>

#include <urlmon.h>

#include <string>
#include <utility>
#include <vector>

#include "sample_session_win.h"
#include "scratch_dir_win.h"
#include "upload_request.h"
#include "whole_file_win.h"

namespace {

struct Progress {
    std::vector<std::pair<uint32_t, uint32_t>> calls;  // (posted, total)
    HANDLE reached = nullptr;                          // set once `threshold` bytes are posted
    uint32_t threshold = 0;
};

int RecordProgress(uint32_t posted, uint32_t total, void* user) {
    Progress* progress = static_cast<Progress*>(user);
    progress->calls.emplace_back(posted, total);
    if (progress->reached != nullptr && posted >= progress->threshold) SetEvent(progress->reached);
    return 1;
}

// The type the system sniffs from the first 256 bytes, as the server should see it.
std::string SniffedType(const std::string& bytes) {
    if (bytes.empty()) return "application/octet-stream";
    LPWSTR mime = nullptr;
    std::string type = "application/octet-stream";
    if (SUCCEEDED(FindMimeFromData(nullptr, nullptr, const_cast<char*>(bytes.data()),
                                   static_cast<DWORD>(std::min<size_t>(bytes.size(), 256)), nullptr,
                                   0, &mime, 0))) {
        type.clear();
        for (const wchar_t* p = mime; *p != 0; ++p) type += static_cast<char>(*p);
        CoTaskMemFree(mime);
    }
    return type;
}

struct Sample {
    std::string path;
    std::string bytes;
    std::string digest;
};

// The four parameters of one file, in the order the component adds them.
void AddSample(UploadRequest& upload, const Sample& s, const char* userId = "42") {
    upload.AddParam("OptionVxMd5", s.digest.c_str(), 0);
    upload.AddParam("UserID", userId, 0);
    upload.AddParam("Language", "Chs", 0);
    upload.AddParam("UploadFile", s.path.c_str(), 1);
}

std::string ExpectedBody(const std::string& boundary, const Sample& s, const std::string& type) {
    const std::string delimiter = "--" + boundary + "\r\n";
    const std::string disposition = "Content-Disposition: form-data; name=\"";
    return delimiter + disposition + "Language\"\r\n\r\nChs\r\n" +  //
           delimiter + disposition + "OptionVxMd5\"\r\n\r\n" + s.digest + "\r\n" + delimiter +
           disposition + "UploadFile\"; filename=\"" + s.path + "\"\r\nContent-Type: " + type +
           "\r\n\r\n" + s.bytes + "\r\n" +                       //
           delimiter + disposition + "UserID\"\r\n\r\n42\r\n" +  //
           "--" + boundary + "--\r\n";
}

class UploadRequestTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(primer_.ready()) << "no sample server (KV_SAMPLE_SERVER_DIR)";
    }

    Sample MakeSample(const std::string& name, const std::string& bytes) {
        return Sample{dir_.Write(name, std::vector<uint8_t>(bytes.begin(), bytes.end())), bytes,
                      Md5Upper(bytes)};
    }
    // A first upload whose answer "primer" stays the text through later failures.
    void Prime(UploadRequest& upload) {
        primer_.Set("answer", "primer");
        AddSample(upload, small_);
        ASSERT_EQ(0, upload.Upload(primer_.UploadUrl().c_str(), nullptr, nullptr));
        ASSERT_EQ("primer", upload.GetText());
    }

    kvtest::ScratchDir dir_;
    SampleSession primer_{"UploadPrimer"};
    Sample small_ = MakeSample("small.bin", SomeBytes(700, 1));
};

struct UploadJob {
    UploadRequest* upload;
    std::string url;
    Progress* progress;
    int result = -1;
};

DWORD WINAPI UploadOnThread(void* argument) {
    auto* job = static_cast<UploadJob*>(argument);
    job->result = job->upload->Upload(job->url.c_str(), &RecordProgress, job->progress);
    return 0;
}

}  // namespace

TEST_F(UploadRequestTest, SendsTheMultipartFormByteForByte) {
    std::string image =
        kvtest::ReadWholeFile("C:\\windows\\system32\\kernel32.dll").substr(0, 70000);
    const std::pair<const char*, std::string> files[] = {
        {"image.exe", image},
        {"notes.txt", std::string(3000, 'a') + "\r\nplain text\r\n"},
        {"noise.bin", SomeBytes(60000, 7)},
        {"empty.bin", ""},
    };
    for (const auto& [name, bytes] : files) {
        SCOPED_TRACE(name);
        SampleSession session(std::string("UploadForm-") + name);
        const Sample s = MakeSample(name, bytes);
        UploadRequest upload;
        Progress progress;
        AddSample(upload, s);
        ASSERT_EQ(0, upload.Upload(session.UploadUrl().c_str(), &RecordProgress, &progress));
        EXPECT_EQ("ok", upload.GetText());
        EXPECT_EQ(0u, upload.Flags());

        const std::vector<SampleRecord> records = session.Records();
        ASSERT_EQ(1u, records.size());
        const SampleRecord& r = records[0];
        EXPECT_EQ("POST /work/UploadFile.php?t=" + session.name() + " HTTP/1.1", r.line);
        const std::string prefix = "multipart/form-data; boundary=";
        const std::string contentType = r.Header("Content-Type");
        ASSERT_EQ(0u, contentType.find(prefix));
        const std::string boundary = contentType.substr(prefix.size());
        EXPECT_EQ(43u, boundary.size());
        EXPECT_EQ(0u, boundary.find("----PELMA-"));
        EXPECT_EQ(std::string::npos, boundary.find_first_not_of("-PELMA0123456789abcdef"));
        EXPECT_EQ(ExpectedBody(boundary, s, SniffedType(bytes)), r.body);
        EXPECT_EQ(std::to_string(r.body.size()), r.Header("Content-Length"));
        EXPECT_TRUE(r.complete);
        EXPECT_EQ("", r.beyond);
        EXPECT_EQ("1", r.md5ok);
        EXPECT_EQ(1, r.HeaderCount("Connection"));

        // Before every step: from nothing posted, by at most one step, to the total.
        const uint32_t total = static_cast<uint32_t>(3 + 32 + 2 + bytes.size());
        ASSERT_FALSE(progress.calls.empty());
        EXPECT_EQ(0u, progress.calls.front().first);
        EXPECT_EQ(total, progress.calls.back().first);
        for (size_t i = 0; i < progress.calls.size(); ++i) {
            EXPECT_EQ(total, progress.calls[i].second);
            if (i > 0) {
                EXPECT_LE(progress.calls[i - 1].first, progress.calls[i].first);
                EXPECT_LE(progress.calls[i].first - progress.calls[i - 1].first, 1024u);
            }
        }
    }
}

// A file that cannot be sent whole is not sent at all; a failed upload keeps the text of
// the last good one.
TEST_F(UploadRequestTest, FailuresKeepTheTextAndBadFilesSendNothing) {
    const std::string sparse = dir_.path() + "\\sparse.bin";
    {
        // 4 GiB + 10 bytes, almost none of them on disk.
        HANDLE file = CreateFileA(sparse.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, file);
        LARGE_INTEGER size;
        size.QuadPart = (1LL << 32) + 10;
        EXPECT_TRUE(SetFilePointerEx(file, size, nullptr, FILE_BEGIN));
        EXPECT_TRUE(SetEndOfFile(file));
        CloseHandle(file);
    }
    const Sample large = MakeSample("large.bin", SomeBytes(200 * 1024, 3));
    struct Case {
        const char* what;
        Sample sample;
        const char* setting;
        const char* value;
        int result;
        size_t records;
        const char* text = "primer";  // GetText() afterwards
    };
    const Case cases[] = {
        {"missing file", {dir_.path() + "\\gone.bin", "", small_.digest}, "", "", 2, 0},
        {"4 GiB + 10 bytes", {sparse, "", small_.digest}, "", "", 2, 0},
        {"server closes mid-body", large, "mode", "close-mid-body", 2, 1},
        {"not found", small_, "status", "404", 2, 1},
        {"refused port", small_, "refused", "", 1, 0},
        {"closed before its length", small_, "mode", "early-close", 2, 1},
        {"a byte now and then", small_, "mode", "drip", 2, 1},
        {"oversized", small_, "mode", "oversized", 2, 1},
        // Taken: their text replaces the primer's.
        {"chunked answer", small_, "mode", "chunked", 0, 1, "ok"},
        {"no length, to the close", small_, "mode", "no-length", 0, 1, "ok"},
        {"200 without a body", small_, "mode", "empty-body", 0, 1, ""},
    };
    UploadRequest upload;
    Prime(upload);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SampleSession session(std::string("UploadFail-") + std::to_string(&c - cases));
        const std::string setting = c.setting;
        std::string url = session.UploadUrl();
        if (setting == "refused") {
            url = "http://127.0.0.1:" + std::to_string(RefusedPort()) + "/work/UploadFile.php";
        } else if (!setting.empty()) {
            session.Set(setting, c.value);
        }
        AddSample(upload, c.sample);
        upload.SetDeadline(2000);
        const DWORD start = GetTickCount();
        EXPECT_EQ(c.result, upload.Upload(url.c_str(), nullptr, nullptr));
        EXPECT_LT(GetTickCount() - start, 7000u);
        EXPECT_EQ(c.text, upload.GetText());
        EXPECT_EQ(0u, upload.Flags());
        const std::vector<SampleRecord> records = session.WaitForRecords(c.records);
        EXPECT_EQ(c.records, records.size());
        if (std::string(c.value) == "close-mid-body") {
            EXPECT_FALSE(records.at(0).complete);
        }
    }
    DeleteFileA(sparse.c_str());
    // The same request still uploads afterwards.
    SampleSession after("UploadFailAfter");
    AddSample(upload, small_);
    EXPECT_EQ(0, upload.Upload(after.UploadUrl().c_str(), nullptr, nullptr));
}

TEST_F(UploadRequestTest, CancelFromAnotherThreadStopsTheBody) {
    SampleSession session("UploadCancel");
    const Sample large = MakeSample("large.bin", SomeBytes(200 * 1024, 5));
    UploadRequest upload;
    Prime(upload);

    Progress progress;
    progress.reached = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    progress.threshold = 20 * 1024;
    AddSample(upload, large);
    UploadJob job{&upload, session.UploadUrl(), &progress};
    HANDLE thread = CreateThread(nullptr, 0, &UploadOnThread, &job, 0, nullptr);
    ASSERT_NE(nullptr, thread);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(progress.reached, 60000));
    upload.Cancel();
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread, 60000));
    CloseHandle(thread);
    CloseHandle(progress.reached);

    EXPECT_EQ(3, job.result);
    EXPECT_EQ("primer", upload.GetText());
    EXPECT_EQ(0u, upload.Flags());
    EXPECT_LT(progress.calls.back().first, progress.calls.back().second);
    // The server saw the body end short of its announced length.
    const std::vector<SampleRecord> records = session.WaitForRecords(1);
    ASSERT_EQ(1u, records.size());
    EXPECT_FALSE(records[0].complete);
    EXPECT_LT(records[0].body.size(), std::stoul("0" + records[0].Header("Content-Length")));

    // A cancel between uploads changes nothing for the next one.
    upload.Cancel();
    SampleSession next("UploadAfterCancel");
    AddSample(upload, small_);
    EXPECT_EQ(0, upload.Upload(next.UploadUrl().c_str(), nullptr, nullptr));
    EXPECT_EQ(1u, next.Records().size());
}

TEST_F(UploadRequestTest, EveryUploadCarriesOneConnectionHeader) {
    SampleSession session("UploadThree");
    UploadRequest upload;
    Progress progress;
    for (int i = 0; i < 3; ++i) {
        AddSample(upload, small_);
        // The callback of the first upload serves the later ones that pass none.
        EXPECT_EQ(0, upload.Upload(session.UploadUrl().c_str(), i == 0 ? &RecordProgress : nullptr,
                                   &progress));
        EXPECT_EQ(static_cast<uint32_t>(3 + 32 + 2 + 700), progress.calls.back().first);
        progress.calls.clear();
    }
    const std::vector<SampleRecord> records = session.Records();
    ASSERT_EQ(3u, records.size());
    for (const SampleRecord& r : records) EXPECT_EQ(1, r.HeaderCount("Connection")) << r.headers;
}

namespace {

// The user's WinINet proxy settings, pointed elsewhere and put back as they were.
class ProxySettings {
public:
    ProxySettings() {
        RegCreateKeyExA(HKEY_CURRENT_USER,
                        "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings", 0,
                        nullptr, 0, KEY_READ | KEY_WRITE, nullptr, &key_, nullptr);
        for (Saved& s : saved_) {
            s.size = sizeof(s.data);
            s.present =
                RegQueryValueExA(key_, s.name, nullptr, &s.type, s.data, &s.size) == ERROR_SUCCESS;
        }
    }
    ~ProxySettings() {
        for (const Saved& s : saved_) {
            if (s.present) {
                RegSetValueExA(key_, s.name, 0, s.type, s.data, s.size);
            } else {
                RegDeleteValueA(key_, s.name);
            }
        }
        RegCloseKey(key_);
    }
    void UseProxy(const std::string& server) {
        const DWORD enable = 1;
        RegSetValueExA(key_, "ProxyEnable", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&enable),
                       sizeof(enable));
        RegSetValueExA(key_, "ProxyServer", 0, REG_SZ,
                       reinterpret_cast<const BYTE*>(server.c_str()),
                       static_cast<DWORD>(server.size() + 1));
        RegSetValueExA(key_, "ProxyOverride", 0, REG_SZ, reinterpret_cast<const BYTE*>("<local>"),
                       8);
    }

private:
    struct Saved {
        const char* name;
        DWORD type = 0;
        BYTE data[1024] = {};
        DWORD size = 0;
        bool present = false;
    };
    HKEY key_ = nullptr;
    Saved saved_[3] = {{"ProxyEnable"}, {"ProxyServer"}, {"ProxyOverride"}};
};

}  // namespace

TEST_F(UploadRequestTest, TheMachineProxyCarriesTheUpload) {
    SampleSession viaProxy("UploadProxy");
    SampleSession refused("UploadProxy407");
    refused.Set("mode", "proxy-407");
    ProxySettings proxy;
    proxy.UseProxy("127.0.0.1:" + std::to_string(viaProxy.port()));

    // A name that no resolver knows: only the proxy can take the request.
    const std::string url = "http://samples.invalid/work/UploadFile.php?t=";
    UploadRequest upload;
    AddSample(upload, small_);
    EXPECT_EQ(0, upload.Upload((url + viaProxy.name()).c_str(), nullptr, nullptr));
    AddSample(upload, small_);
    EXPECT_EQ(2, upload.Upload((url + refused.name()).c_str(), nullptr, nullptr));

    const std::vector<SampleRecord> records = viaProxy.Records();
    ASSERT_EQ(1u, records.size());
    // The absolute form (with or without the default port) that only a proxy receives.
    const std::string& line = records[0].line;
    EXPECT_EQ(0u, line.find("POST http://samples.invalid")) << line;
    const std::string end = "/work/UploadFile.php?t=" + viaProxy.name() + " HTTP/1.1";
    EXPECT_EQ(line.size() - end.size(), line.rfind(end)) << line;
    EXPECT_TRUE(records[0].complete);
    EXPECT_EQ(1u, refused.Records().size());
}
