#pragma once
// The progress dialog of an upload run and its worker thread. The dialog lives on the
// thread that started the run (which must pump messages); the worker follows the run
// (CUploadRun), which sees the dialog as its RunView: synchronous WM_UPLOAD_STATUS sends,
// EnableWindow on its buttons and a posted IDOK.
//
// A run holds a reference to Courier.dll of its own from its start until its worker is
// through, so a host's FreeLibrary during a run never unloads the code under the window
// or the worker: the library goes once the run has ended. The worker lets go of that
// reference last, with FreeLibraryAndExitThread, so no thread returns into the library
// after it is unmapped, and nothing is ever done under the loader lock for a run.
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
    // starts the worker over `files` and `bits`, with a reference to the library. Once
    // the window is gone, the results are written and the host is told, the worker frees
    // the dialog and ends, letting go of that reference. False, with nothing left
    // behind, when the window or the worker could not be made.
    static bool Launch(RunState& state, std::vector<std::string>* files, std::vector<bool>* bits,
                       int show);

private:
    CUploadDlg(RunState& state, int show);
    ~CUploadDlg() override;

    BOOL OnInitDialog() override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;
    void OnWindowGone() override;

    void ReadConfiguration();
    void OnStatus(WPARAM what, LPARAM value);
    void OnCancelButton();
    // Waits up to `graceMs` for the worker's run to end by itself (its requests are
    // cancelled), letting its sends to this thread through.
    bool RunEnded(DWORD graceMs);
    void WriteResultsAndNotify();

    // The worker: the run, then (once the dialog's thread is done with the dialog) the
    // dialog is freed and the thread ends, releasing the run's reference to the library.
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

    // The run's own reference to Courier.dll; handed to the worker's last call.
    HMODULE library_ = nullptr;
    UniqueHandle runEnded_;  // set by the worker once its run has returned
    UniqueHandle handedOver_;  // set by the dialog's thread once it is done with the dialog
    // A message-only window of a system class on the dialog's thread: a message sent to
    // it is handled only when that thread takes messages, outside this library's code.
    HWND marker_ = nullptr;

    std::unique_ptr<kvwin::ParkedThread> worker_;
    courier::RunSettings settings_;  // from Courier.cfg, read when the window is made
    CourierRequests requests_;
    std::unique_ptr<courier::CUploadRun> run_;
    CourierLanguage language_;
};
