#pragma once
// A host of Courier.dll for the tests: the library loaded from a folder of its own, a
// host window that keeps every end notice, a message loop, and a record of what the
// progress dialog and its controls were told (a WH_CALLWNDPROC hook on this thread sees
// the worker's updates too).
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "component.h"
#include "dlg_upload.h"

struct HookEvent {
    int control = 0;  // 0: the dialog itself
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    std::string text;  // WM_SETTEXT
};

struct Notice {
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    std::vector<unsigned char> bytes;  // the watched byte array when the notice came
    DWORD tick = 0;
};

class UploadHost {
public:
    // Loads `dllPath` and takes its IDlgUpload; creates the host window and the hook.
    explicit UploadHost(const std::string& dllPath);
    ~UploadHost();
    UploadHost(const UploadHost&) = delete;
    UploadHost& operator=(const UploadHost&) = delete;

    bool ready() const { return upload_ != nullptr; }
    IComponent* component() const { return component_; }
    IDlgUpload* upload() const { return upload_; }
    HWND window() const { return window_; }
    // Unloads the library now (FreeLibrary), pumping nothing.
    void Unload();
    // Unloads it from another thread, while this one takes messages (`pump`) or waits for
    // that thread without taking any. Answers when the unload returned (GetTickCount).
    DWORD UnloadOnAnotherThread(bool pump);

    // Starts a run. The byte array (`count` bytes) is copied into every notice.
    int Start(std::vector<std::string>* files, unsigned char* results, size_t count, int show,
              int userId = 77);
    int StartEx(std::vector<std::string>* files, std::vector<bool>* bits, int show,
                int userId = 77);

    // Runs the message loop until `done` holds or `timeoutMs` passed; the final `done`.
    bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs = 30000);
    // Runs the message loop for `ms` regardless.
    void PumpFor(DWORD ms);
    bool WaitForNotice(DWORD timeoutMs = 30000);

    const std::vector<Notice>& notices() const { return notices_; }
    // The dialog of the latest run (also after it is gone).
    HWND dialog() const { return dialog_; }
    int dialogsCreated() const { return dialogsCreated_; }
    // When the dialog's window went (its WM_NCDESTROY); 0 while it is there.
    DWORD dialogGoneAt() const { return dialogGoneAt_; }

    // What the dialog of the latest run received.
    std::vector<std::string> Captions() const;                         // its own WM_SETTEXT
    std::vector<std::string> Texts(int control) const;                 // a control's WM_SETTEXT
    std::vector<LPARAM> Positions(int control) const;                  // PBM_SETPOS
    std::vector<std::pair<WPARAM, LPARAM>> Ranges(int control) const;  // PBM_SETRANGE32
    bool EverShown() const;                                            // WM_SHOWWINDOW TRUE

    // Clicks a dialog button the way the user would (BN_CLICKED posted to the dialog).
    void Click(int control) const;

private:
    static LRESULT CALLBACK HostProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK HookProc(int code, WPARAM wParam, LPARAM lParam);
    void Record(const CWPSTRUCT& call);
    std::vector<HookEvent> EventsOf(int control, UINT message) const;

    HMODULE module_ = nullptr;
    IComponent* component_ = nullptr;
    IDlgUpload* upload_ = nullptr;
    HWND window_ = nullptr;
    HHOOK hook_ = nullptr;
    HWND dialog_ = nullptr;
    int dialogsCreated_ = 0;
    DWORD dialogGoneAt_ = 0;
    bool awaitingDialog_ = false;
    const unsigned char* watched_ = nullptr;
    size_t watchedCount_ = 0;
    std::vector<Notice> notices_;
    std::vector<HookEvent> events_;
};

// Closes the first message box that appears on `thread` (a "#32770" window with a
// message text) by posting IDOK, from a thread of its own; keeps its text.
class MessageBoxCloser {
public:
    explicit MessageBoxCloser(DWORD thread);
    ~MessageBoxCloser();
    // The text of the box closed, once the closer is done ("" when none came).
    std::string Text();

private:
    static DWORD WINAPI Watch(void* self);
    static BOOL CALLBACK CloseIfBox(HWND window, LPARAM self);
    DWORD thread_;
    HANDLE worker_ = nullptr;
    volatile LONG stop_ = 0;
    std::string text_;
};
