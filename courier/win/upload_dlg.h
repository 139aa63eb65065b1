#pragma once
// The progress dialog of an upload run and its worker thread. The dialog lives on the
// thread that started the run (which must pump messages); the worker follows the run
// (CUploadRun), which sees the dialog as its RunView: synchronous WM_UPLOAD_STATUS sends,
// EnableWindow on its buttons and a posted IDOK.
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "bk_dialog.h"
#include "courier_language_win.h"
#include "dlg_upload.h"
#include "upload_run.h"
#include "upload_worker.h"
#include "win32/handles.h"
#include "win32/locks.h"
#include "win32/threads.h"

class CUploadDlg;

// The library's result state: one run at a time per loaded Courier.dll.
struct RunState {
    std::vector<bool> resultBits;  // StartUpload's bits, one per file
    bool copyResults = false;      // only a StartUpload run writes host bytes
    unsigned char* hostResults = nullptr;
    HWND hostWindow = nullptr;                 // owner of the dialog, receiver of the notice
    int userId = 0;                            // sent with every upload
    std::atomic<bool> active{false};           // from a start until its notice
    std::atomic<CUploadDlg*> dialog{nullptr};  // the dialog of the active run

    // Workers left inside a call that ignored the cancel when their dialog closed: ended
    // when the library unloads.
    kvwin::CriticalSection strayLock;
    std::vector<kvwin::ParkedThread*> strayWorkers;
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

class CUploadDlg final : public CBkDialog, private courier::RunView {
public:
    // Creates the dialog (its initialisation runs on this thread), shows or hides it and
    // starts the worker over `files` and `bits`. The dialog deletes itself once its
    // window is gone, after the results are written and the host is told. False, with
    // nothing left behind, when the window or the worker could not be made.
    static bool Launch(RunState& state, std::vector<std::string>* files, std::vector<bool>* bits,
                       int show);

    // Courier.dll is being unloaded by FreeLibrary with this run still going, on this
    // thread or another: the run ends, its results are written and the host is told
    // before the library goes.
    void CloseForUnload();
    // Ends the workers that were left running once they have parked; with a nonzero
    // `graceMs` (at the unload) every one, waiting that long for each.
    static void EndStrayWorkers(RunState& state, DWORD graceMs);

private:
    CUploadDlg(RunState& state, int show);
    ~CUploadDlg() override;

    BOOL OnInitDialog() override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;
    void OnWindowGone() override;

    void ReadConfiguration();
    void OnStatus(WPARAM what, LPARAM value);
    void OnCancelButton();
    // Waits up to `graceMs` for the worker to finish by itself (its requests are
    // cancelled), letting its sends to this thread through; then ends its thread.
    bool WorkerFinished(DWORD graceMs);
    void WriteResultsAndNotify(bool fromOtherThread);
    // The run ends for an unload on another thread, on the dialog's thread or (when that
    // takes no messages) on the unloading one: results, notice, an inert window.
    void EndRunForUnload(bool fromOtherThread);
    // The window stays for the moment, hidden, with nothing of this library's code behind
    // it, and goes when its thread next takes messages.
    void MakeWindowInert();

    static void UploadThreadProc(void* dialog);

    // The run's view, called on the worker's thread.
    std::string Text(const char* key) override { return language_.Text(key); }
    void StatusText(const std::string& text) override { SendText(kStatusText, text); }
    void FileLine(const std::string& text) override { SendText(kFileLine, text); }
    void FileRange(uint32_t files) override { Send(kFileRange, static_cast<LPARAM>(files)); }
    void FilePosition(uint32_t file) override { Send(kFilePos, static_cast<LPARAM>(file)); }
    void BytePosition(uint32_t percent) override { Send(kBytePos, static_cast<LPARAM>(percent)); }
    void OfferOk() override;
    void Close() override;
    bool Cancelled() const override { return cancelled_.load(); }
    bool Gone() const override { return windowGone_.load(); }
    void Send(StatusUpdate what, LPARAM value) const;
    void SendText(StatusUpdate what, const std::string& text) const;

    RunState& state_;
    std::vector<bool>* hostBits_ = nullptr;  // the host's (or the library's) bits
    std::atomic<bool> cancelled_{false};     // the Cancel button was pressed
    std::atomic<bool> windowGone_{false};    // the dialog window is destroyed
    bool launched_ = false;  // the worker was started: the end writes and notifies
    std::atomic<bool> unloading_{false};  // Courier.dll is going away under the run

    std::unique_ptr<kvwin::ParkedThread> worker_;
    courier::RunSettings settings_;  // from Courier.cfg, read when the window is made
    CourierRequests requests_;
    std::unique_ptr<courier::CUploadRun> run_;
    CourierLanguage language_;
};
