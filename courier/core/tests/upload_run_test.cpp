// An upload run over a fake site and view: what each answer and request result does to
// the host's bits, what is sent and uploaded, the texts shown and how the run ends.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "request_result.h"
#include "upload_run.h"

using namespace courier;

namespace {

struct FakeFile {
    const char* path;    // "missing..." cannot be read
    int check;           // the check request's result
    const char* answer;  // its body when done
    int upload;          // the upload's result, when the site asks for the file
};

// The site answers for the sample read last; the view cancels once `cancelAfter` checks
// were made (0: never).
class FakeRun final : public RunView, public RunRequests {
public:
    std::vector<FakeFile> files;
    std::vector<std::string> reachable;
    size_t cancelAfter = 0;

    std::vector<std::string> statuses, lines, reached, checked, uploaded;
    std::vector<uint32_t> bytes;
    uint32_t range = 0;
    bool offered = false, closed = false;
    int uploadsOpen = 0;

    std::string Text(const char* key) override { return std::string("[") + key + "]"; }
    void StatusText(const std::string& text) override { statuses.push_back(text); }
    void FileLine(const std::string& text) override { lines.push_back(text); }
    void FileRange(uint32_t count) override { range = count; }
    void FilePosition(uint32_t) override {}
    void BytePosition(uint32_t percent) override { bytes.push_back(percent); }
    void OfferOk() override { offered = true; }
    void Close() override { closed = true; }
    bool Cancelled() const override { return cancelAfter != 0 && checked.size() >= cancelAfter; }
    bool Gone() const override { return false; }

    bool Reachable(const std::string& url) override {
        reached.push_back(url);
        for (const std::string& site : reachable) {
            if (site == url) return true;
        }
        return false;
    }
    bool ReadSample(const std::string& path, std::string* content) override {
        for (const FakeFile& file : files) {
            if (file.path == path) current_ = &file;
        }
        *content = "abc";
        return path.rfind("missing", 0) != 0;
    }
    std::string SampleName(const std::string& path) override { return "<" + path + ">"; }
    int Check(const std::string& url, const std::vector<FormParam>& params,
              std::string* answer) override {
        EXPECT_EQ("check-url", url);
        EXPECT_EQ((std::vector<FormParam>{{"OptionVxMd5", kAbcDigest}, {"Language", "Chs"}}),
                  params);
        checked.push_back(current_->path);
        if (current_->check == kRequestDone) *answer = current_->answer;
        return current_->check;
    }
    void BeginUploads() override { ++uploadsOpen; }
    void EndUploads() override { --uploadsOpen; }
    int Upload(const std::string& url, const std::vector<FormParam>& params,
               UploadProgress& progress) override {
        EXPECT_EQ("site-url", url);
        EXPECT_EQ((std::vector<FormParam>{{"OptionVxMd5", kAbcDigest},
                                          {"UserID", "77"},
                                          {"Language", "Chs"},
                                          {"UploadFile", current_->path, true}}),
                  params);
        uploaded.push_back(current_->path);
        progress.Posted(1, 3);
        progress.Posted(3, 3);
        return current_->upload;
    }

private:
    static constexpr char kAbcDigest[] = "900150983CD24FB0D6963F7D28E17F72";
    const FakeFile* current_ = nullptr;
};

std::string Joined(const std::vector<std::string>& parts) {
    std::string text;
    for (const std::string& part : parts) text += (text.empty() ? "" : " ") + part;
    return text;
}

std::string BitText(const std::vector<bool>& bits) {
    std::string text;
    for (bool bit : bits) text += bit ? '1' : '0';
    return text;
}

}  // namespace

TEST(UploadRun, AnswersAndResultsDecideBitsRequestsTextsAndTheEnd) {
    constexpr int kDone = kRequestDone, kNotSent = kRequestNotSent, kFailed = kRequestFailed,
                  kCancel = kRequestCancelled;
    const std::string summary = "[upload end:] ";
    const struct {
        const char* name;
        bool shown, reachable;
        size_t cancelAfter;
        std::vector<FakeFile> files;
        const char *before, *after, *checked, *uploaded;
        int result;
        bool closed;
        std::string lastStatus;
    } rows[] = {
        // One run a few lines.
        // clang-format off
        {"known, wanted, other values, unreadable, a failed upload", true, true, 0,
         {{"known", kDone, "-1", 0}, {"wanted", kDone, "1\r\n", kDone}, {"seven", kDone, "7", 0},
          {"missing", kDone, "0", 0}, {"refused", kDone, "1", kFailed}},
         "00110", "11110", "known wanted seven refused", "wanted refused", 1, true,
         summary + "4[files sucessfully!]"},
        {"a failed check clears its bit and ends the list", false, true, 0,
         {{"a", kDone, "1", kDone}, {"b", kFailed, "", 0}, {"c", kDone, "0", 0}},
         "011", "101", "a b", "a", 1, true, summary + "2[files sucessfully!]"},
        {"a site that takes no upload: the shown run waits for Ok", true, true, 0,
         {{"a", kDone, "1", kNotSent}, {"b", kDone, "0", 0}},
         "00", "01", "a b", "a", 0, false, summary + "1[files sucessfully!]"},
        {"the hidden one closes", false, true, 0,
         {{"a", kDone, "1", kNotSent}},
         "0", "0", "a", "a", 0, true, summary + "0[files sucessfully!]"},
        {"a cancelled upload ends the run", true, true, 0,
         {{"a", kDone, "1", kCancel}, {"b", kDone, "0", 0}},
         "00", "00", "a", "a", 0, false, "1 / 2"},
        {"a cancel between files", true, true, 1,
         {{"a", kDone, "0", 0}, {"b", kDone, "0", 0}},
         "00", "10", "a", "", 0, false, "1 / 2"},
        // The list went through: no summary, yet the run closes as a whole one.
        {"a cancel after the last file", true, true, 1,
         {{"a", kDone, "0", 0}},
         "0", "1", "a", "", 1, true, "1 / 1"},
        {"nothing reachable", false, false, 0,
         {{"a", kDone, "0", 0}},
         "0", "0", "", "", -1, true, "[can't connect to server]"},
        // clang-format on
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        FakeRun fake;
        fake.files = row.files;
        fake.cancelAfter = row.cancelAfter;
        if (row.reachable) fake.reachable = {"probe2"};
        std::vector<std::string> paths;
        std::vector<bool> bits;
        for (const FakeFile& file : row.files) paths.push_back(file.path);
        for (const char* bit = row.before; *bit != 0; ++bit) bits.push_back(*bit == '1');

        CUploadRun run(fake, fake, {"site-url", "check-url", {"probe1", "probe2"}, 77, row.shown},
                       paths, bits);
        EXPECT_EQ(row.result, run.Run());
        EXPECT_EQ(row.after, BitText(run.Results()));
        EXPECT_EQ(row.checked, Joined(fake.checked));
        EXPECT_EQ(row.uploaded, Joined(fake.uploaded));
        EXPECT_EQ(row.closed, fake.closed);
        EXPECT_EQ(row.lastStatus.rfind(summary, 0) == 0, fake.offered);
        ASSERT_FALSE(fake.statuses.empty());
        EXPECT_EQ("[net checking]", fake.statuses.front());
        EXPECT_EQ(row.lastStatus, fake.statuses.back());
        // The probes first; the upload site only when none answers.
        EXPECT_EQ(row.reachable ? "probe1 probe2" : "probe1 probe2 site-url", Joined(fake.reached));
        EXPECT_EQ(0, fake.uploadsOpen);
        EXPECT_EQ(row.reachable ? row.files.size() : 0u, fake.range);
    }

    // Progress of one upload: the bar from 0, the file's name, then its bytes.
    FakeRun fake;
    fake.files = {{"C:\\in\\x.bin", kDone, "1", kDone}};
    fake.reachable = {"probe1"};
    std::vector<std::string> paths = {"C:\\in\\x.bin"};
    std::vector<bool> bits(1);
    CUploadRun(fake, fake, {"site-url", "check-url", {"probe1"}, 77, true}, paths, bits).Run();
    EXPECT_EQ((std::vector<uint32_t>{0, 33, 100}), fake.bytes);
    EXPECT_EQ((std::vector<std::string>{"[now update :]<C:\\in\\x.bin>", "1 / 3", "3 / 3"}),
              fake.lines);
}
