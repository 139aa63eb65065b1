#include "upload_run.h"

#include <utility>

#include "md5.h"
#include "request_result.h"
#include "run_rules.h"

namespace courier {

namespace {

// The site's form fields: the digest in upper-case hex, the user, the language of the
// answers asked for.
constexpr char kDigestField[] = "OptionVxMd5";
constexpr char kUserField[] = "UserID";
constexpr char kLanguageField[] = "Language";
constexpr char kLanguage[] = "Chs";
constexpr char kFileField[] = "UploadFile";

std::string DigestText(const std::string& content) {
    unsigned char digest[16];
    CMD5Class().Digest(content.data(), digest, static_cast<uint32_t>(content.size()));
    static const char kHex[] = "0123456789ABCDEF";
    std::string text;
    for (unsigned char byte : digest) {
        text += kHex[byte >> 4];
        text += kHex[byte & 15];
    }
    return text;
}

}  // namespace

CUploadRun::CUploadRun(RunView& view, RunRequests& requests, RunSettings settings,
                       std::vector<std::string> files, std::vector<bool> bits)
    : view_(view),
      requests_(requests),
      settings_(std::move(settings)),
      files_(std::move(files)),
      bits_(std::move(bits)) {}

std::vector<bool> CUploadRun::Results() const {
    std::lock_guard<std::mutex> hold(bitsLock_);
    return bits_;
}

int CUploadRun::Run() {
    try {
        return Work();
    } catch (...) {
        // Out of memory somewhere: the run ends as if it failed; a hidden view closes.
        if (!settings_.shown) view_.Close();
        return 0;
    }
}

int CUploadRun::Work() {
    view_.StatusText(view_.Text("net checking"));
    if (!NetCheck()) {
        view_.StatusText(view_.Text("can't connect to server"));
        // A hidden view offers no Cancel to the user: its run ends here. A shown one
        // waits for the user.
        if (!settings_.shown) view_.Close();
        return -1;
    }
    const int run = RunUploads();
    if (!settings_.shown || run == 1) view_.Close();
    return run;
}

bool CUploadRun::NetCheck() {
    for (const std::string& probe : settings_.probes) {
        if (requests_.Reachable(probe)) return true;
    }
    return requests_.Reachable(settings_.uploadUrl);
}

int CUploadRun::RunUploads() {
    int run = 1;
    requests_.BeginUploads();
    const uint32_t count = static_cast<uint32_t>(files_.size());
    view_.FileRange(count);

    bool endedEarly = false;
    for (uint32_t i = 0; i < count; ++i) {
        // A closed or cancelled view sends no further requests.
        if (Stopping()) {
            endedEarly = true;
            run = 0;
            break;
        }
        view_.StatusText(CountText(i + 1, count));
        view_.FilePosition(i + 1);

        const std::string& path = files_[i];
        std::string digest;
        {
            std::string content;
            if (!requests_.ReadSample(path, &content)) continue;
            digest = DigestText(content);
        }

        const std::vector<FormParam> query = {{kDigestField, digest}, {kLanguageField, kLanguage}};
        std::string answer;
        if (requests_.Check(settings_.checkUrl, query, &answer) != kRequestDone) {
            SetBit(i, false);
            break;
        }
        const CheckVerdict verdict = JudgeCheckAnswer(answer);
        if (verdict == CheckVerdict::kKnown) SetBit(i, true);
        if (verdict != CheckVerdict::kWanted) continue;

        view_.BytePosition(0);
        view_.FileLine(view_.Text("now update :") + requests_.SampleName(path));
        const std::vector<FormParam> form = {{kDigestField, digest},
                                             {kUserField, std::to_string(settings_.userId)},
                                             {kLanguageField, kLanguage},
                                             {kFileField, path, true}};
        const int result = requests_.Upload(settings_.uploadUrl, form, *this);
        if (result == kRequestDone) {
            SetBit(i, true);
        } else if (result == kRequestNotSent) {
            view_.StatusText(view_.Text("can't connect to server"));
            run = 0;
        } else if (result == kRequestCancelled) {
            endedEarly = true;
            run = 0;
            break;
        }
        // Any other failure leaves the file's result as it is.
    }

    if (!endedEarly && !view_.Cancelled()) {
        view_.OfferOk();
        uint32_t done = 0;
        for (bool bit : Results()) done += bit ? 1 : 0;
        view_.StatusText(
            SummaryText(view_.Text("upload end:"), done, view_.Text("files sucessfully!")));
    }
    requests_.EndUploads();
    return run;
}

void CUploadRun::Posted(uint32_t posted, uint32_t total) {
    view_.BytePosition(ProgressPercent(posted, total));
    view_.FileLine(CountText(posted, total));
}

void CUploadRun::SetBit(size_t index, bool value) {
    std::lock_guard<std::mutex> hold(bitsLock_);
    if (index < bits_.size()) bits_[index] = value;
}

}  // namespace courier
