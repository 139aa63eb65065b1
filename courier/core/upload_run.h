#pragma once
// One upload run as its worker follows it: the net check, then per file the digest, the
// check request and, when the site asks for the sample, the upload. The run knows no
// window and no network: it reports to a RunView and asks through RunRequests, both on
// the worker's thread.
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace courier {

// Whoever shows the run: its texts, two bars and its end.
class RunView {
public:
    // The text for the English `key` in the user's language; the key itself without one.
    virtual std::string Text(const char* key) = 0;
    virtual void StatusText(const std::string& text) = 0;  // counter, net check, summary
    virtual void FileLine(const std::string& text) = 0;    // the file sent, its bytes
    virtual void FileRange(uint32_t files) = 0;            // the file bar runs 0..files
    virtual void FilePosition(uint32_t file) = 0;
    virtual void BytePosition(uint32_t percent) = 0;  // the byte bar runs 0..100
    // The list is through: Ok is offered, Cancel no longer.
    virtual void OfferOk() = 0;
    // Closes the view as its Ok button would; the run's end follows from there.
    virtual void Close() = 0;
    // The user cancelled the run.
    virtual bool Cancelled() const = 0;
    // The view is gone (closed without Cancel).
    virtual bool Gone() const = 0;

protected:
    ~RunView() = default;
};

// A form parameter; `isFile` makes `value` the path of a file whose content is sent.
struct FormParam {
    std::string name;
    std::string value;
    bool isFile = false;

    bool operator==(const FormParam& other) const {
        return name == other.name && value == other.value && isFile == other.isFile;
    }
};

// Told before every step of an upload: value and file bytes posted so far and in all.
class UploadProgress {
public:
    virtual void Posted(uint32_t posted, uint32_t total) = 0;

protected:
    ~UploadProgress() = default;
};

// The samples on disk and the site.
class RunRequests {
public:
    // Whether the site at `url` answers (the net check).
    virtual bool Reachable(const std::string& url) = 0;
    // The whole content of the sample at `path`; false when it cannot be read whole
    // (missing, 4 GiB or more, more than memory holds): the file is skipped then.
    virtual bool ReadSample(const std::string& path, std::string* content) = 0;
    // The part of `path` the user sees as the sample's name.
    virtual std::string SampleName(const std::string& path) = 0;
    // Posts `params` url-encoded to `url`: a RequestResult, with the answer's body in
    // `answer` when it is kRequestDone.
    virtual int Check(const std::string& url, const std::vector<FormParam>& params,
                      std::string* answer) = 0;
    // The uploads of the run begin and end: in between, Upload may be called, and the
    // view's Cancel reaches a running upload.
    virtual void BeginUploads() = 0;
    virtual void EndUploads() = 0;
    // Posts `params` as a multipart form to `url`, telling `progress` before every step:
    // a RequestResult.
    virtual int Upload(const std::string& url, const std::vector<FormParam>& params,
                       UploadProgress& progress) = 0;

protected:
    ~RunRequests() = default;
};

struct RunSettings {
    std::string uploadUrl;
    std::string checkUrl;
    std::vector<std::string> probes;  // the net check's sites, tried before the upload site
    int userId = 0;                   // sent with every upload
    bool shown = true;                // a hidden view has no Cancel: its run ends by itself
};

class CUploadRun final : private UploadProgress {
public:
    // A run over copies of the host's list and bits: whoever shows the run hands the
    // results over when it ends, and nothing of the host's is touched meanwhile.
    CUploadRun(RunView& view, RunRequests& requests, RunSettings settings,
               std::vector<std::string> files, std::vector<bool> bits);

    // The whole run, on the worker's thread. Bits of files the site holds are set, those
    // whose check failed cleared. -1 when the net check failed, 0 when the run ended
    // early or a sample could not be sent, 1 otherwise. Nothing throws out of it: a run
    // that fails part way (out of memory) ends as a failed one.
    int Run();
    // The bits as they stand; safe from another thread while Run goes on.
    std::vector<bool> Results() const;

private:
    int Work();
    bool NetCheck();
    int RunUploads();
    bool Stopping() const { return view_.Cancelled() || view_.Gone(); }
    void SetBit(size_t index, bool value);
    void Posted(uint32_t posted, uint32_t total) override;

    RunView& view_;
    RunRequests& requests_;
    const RunSettings settings_;
    const std::vector<std::string> files_;
    mutable std::mutex bitsLock_;
    std::vector<bool> bits_;
};

}  // namespace courier
