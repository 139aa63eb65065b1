#pragma once
// What an upload run asks of Windows: the net check, the samples on disk, the check
// request and the upload request of the run, which Cancel reaches from the dialog's
// thread. Used on the worker's thread, except Cancel.
#include <memory>
#include <string>
#include <vector>

#include "request_common.h"
#include "upload_run.h"
#include "win32/handles.h"
#include "win32/locks.h"

class UploadRequest;

// The longest a net-check probe may take in all.
constexpr DWORD kProbeDeadlineMs = 15000;

class CourierRequests final : public courier::RunRequests {
public:
    CourierRequests();
    ~CourierRequests();
    CourierRequests(const CourierRequests&) = delete;
    CourierRequests& operator=(const CourierRequests&) = delete;

    bool Reachable(const std::string& url) override;
    bool ReadSample(const std::string& path, std::string* content) override;
    std::string SampleName(const std::string& path) override;
    int Check(const std::string& url, const std::vector<courier::FormParam>& params,
              std::string* answer) override;
    void BeginUploads() override;
    void EndUploads() override;
    int Upload(const std::string& url, const std::vector<courier::FormParam>& params,
               courier::UploadProgress& progress) override;

    // Stops the run's requests (from any thread): a probe, check or upload under way ends
    // at once, later ones fail at once. True while the run's uploads are on, whether or
    // not a file is being sent right now.
    bool Cancel();

    // Each probe, check and upload ends by this deadline (the upload beyond what its body
    // needs); by default kProbeDeadlineMs for probes, kRequestDeadlineMs for the others.
    void SetDeadline(DWORD ms);

private:
    static int OnProgress(uint32_t posted, uint32_t total, void* progress);
    bool Stopped() const;

    UniqueHandle stop_;  // manual-reset: set once by Cancel, for good
    DWORD probeDeadlineMs_ = kProbeDeadlineMs;
    DWORD requestDeadlineMs_ = courier::kRequestDeadlineMs;

    // Made and dropped by the worker; Cancel reaches it from the dialog's thread.
    kvwin::CriticalSection lock_;
    std::unique_ptr<UploadRequest> upload_;
};
