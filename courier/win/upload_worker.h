#pragma once
// What an upload run asks of Windows: the net check, the samples on disk, the check
// request and the upload request of the run, which Cancel reaches from the dialog's
// thread. Used on the worker's thread, except Cancel.
#include <memory>
#include <string>
#include <vector>

#include "upload_run.h"
#include "win32/locks.h"

class UploadRequest;

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

    // Asks a running upload to stop (from any thread). True while the run's uploads are
    // on, whether or not a file is being sent right now.
    bool Cancel();

private:
    static int OnProgress(uint32_t posted, uint32_t total, void* progress);

    // Made and dropped by the worker; Cancel reaches it from the dialog's thread.
    kvwin::CriticalSection lock_;
    std::unique_ptr<UploadRequest> upload_;
};
