#pragma once
// The progress dialog of an upload run and its worker thread. The dialog lives on the
// thread that started the run (which must pump messages); the worker does the network
// work and talks to the dialog only through synchronous WM_UPLOAD_STATUS sends,
// EnableWindow on its buttons and a posted IDOK.
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "bk_dialog.h"
#include "courier_language_win.h"
#include "dlg_upload.h"
#include "win32/handles.h"

class CUploadDlg;
class UploadRequest;

// The library's result state: one run at a time per loaded Courier.dll.
struct RunState {
    std::vector<bool> resultBits;  // StartUpload's bits, one per file
    bool copyResults = false;      // only a StartUpload run writes host bytes
    unsigned char* hostResults = nullptr;
    HWND hostWindow = nullptr;                 // owner of the dialog, receiver of the notice
    int userId = 0;                            // sent with every upload
    std::atomic<bool> active{false};           // from a start until its notice
    std::atomic<CUploadDlg*> dialog{nullptr};  // the dialog of the active run
};

// wParam of WM_UPLOAD_STATUS sent to the dialog; lParam is the value.
enum StatusUpdate : WPARAM {
    kFileRange = 0,   // bar 9000: range 0..lParam
    kByteRange = 1,   // bar 9001: range 0..lParam
    kFilePos = 2,     // bar 9000: position lParam
    kBytePos = 3,     // bar 9001: position lParam
    kStatusText = 4,  // static 9004: the text of the std::string at lParam
    kFileLine = 5,    // static 9002: the text of the std::string at lParam
};

class CUploadDlg final : public CBkDialog {
public:
    // Creates the dialog (its initialisation runs on this thread), shows or hides it and
    // starts the worker over `files` and `bits`. The dialog deletes itself once its
    // window is gone, after the results are written and the host is told. False, with
    // nothing left behind, when the window or the worker could not be made.
    static bool Launch(RunState& state, std::vector<std::string>* files, std::vector<bool>* bits,
                       int show);

    // Courier.dll is being unloaded with this run still going: ends it where it can
    // without freeing other libraries.
    void AbandonAtUnload();

    // The worker's progress report for one step of an upload (user pointer: the dialog).
    static int UploadProgressCallback(uint32_t posted, uint32_t total, void* dialog);

private:
    CUploadDlg(RunState& state, std::vector<std::string>* files, std::vector<bool>* bits, int show);
    ~CUploadDlg() override;

    BOOL OnInitDialog() override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;
    void OnWindowGone() override;

    void ReadConfiguration();
    void OnStatus(WPARAM what, LPARAM value);
    void OnCancelButton();
    void StopWorker();
    void WriteResultsAndNotify();

    // The worker (upload_worker.cpp).
    static DWORD WINAPI UploadThreadProc(void* dialog);
    int Work();
    bool UrlProbe() const;
    int RunUploads();
    void SetBit(size_t index, bool value);
    void Send(StatusUpdate what, LPARAM value) const;
    void SendText(StatusUpdate what, const std::string& text) const;
    bool Stopping() const { return cancelled_.load() || windowGone_.load(); }

    RunState& state_;
    std::vector<std::string>* files_;  // the host's, read by the worker
    std::vector<bool>* bits_;          // not owned; never written past its size
    int show_ = 1;
    std::atomic<bool> cancelled_{false};   // the Cancel button was pressed
    std::atomic<bool> windowGone_{false};  // the dialog window is destroyed
    bool launched_ = false;                // the worker was started: the end writes and notifies
    bool unloading_ = false;               // Courier.dll is going away under the run

    UniqueHandle worker_;
    // Created and destroyed by the worker; Cancel reaches it from the dialog's thread.
    std::mutex uploadLock_;
    std::unique_ptr<UploadRequest> upload_;

    std::string checkUrl_;
    std::string uploadUrl_;
    std::vector<std::string> probes_;  // the net check's sites, empty values skipped
    CourierLanguage language_;
};
