#include "upload_dlg.h"

#include <commctrl.h>

#include <exception>

#include "resource.h"
#include "win32/paths.h"

namespace {

constexpr char kConfigFile[] = "Courier.cfg";
constexpr char kDefaultSite[] = "http://127.0.0.1/work/UploadFile.php";
constexpr char kDefaultCheck[] = "http://127.0.0.1/work/MD5_Check.php";
// The net check's default sites: public roots that answer 200 on plain http.
constexpr const char* kDefaultProbes[] = {"http://example.com/", "http://neverssl.com/",
                                          "http://captive.apple.com/"};

// How long a closing dialog waits for its worker to finish once its requests are
// cancelled. Every wait for the server ends at the cancel, so the worker takes
// milliseconds; only a call that ignores it (a write that a server stopped reading, the
// language library) can take longer.
constexpr DWORD kWorkerStopMs = 5000;
// How long an unload from another thread waits for the dialog's thread to close it.
constexpr DWORD kUnloadCloseMs = 5000;
// The largest "deadline" of Courier.cfg taken (a day).
constexpr UINT kLongestDeadlineSeconds = 86400;
// How long Cancel gives a running upload to notice it.
constexpr DWORD kCancelPauseMs = 100;
// Sent to the dialog by an unload on another thread: end the run, leave the window inert.
constexpr UINT kEndForUnload = WM_APP + 1;

HICON SmallIcon() {
    static HICON icon = static_cast<HICON>(
        LoadImageA(kvwin::ThisModule(), MAKEINTRESOURCEA(IDI_COURIER), IMAGE_ICON,
                   GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), LR_SHARED));
    return icon;
}

std::string ProfileText(const char* key, const char* fallback, const std::string& file) {
    char text[260] = {};
    GetPrivateProfileStringA("config", key, fallback, text, sizeof text, file.c_str());
    return text;
}

}  // namespace

CUploadDlg::CUploadDlg(RunState& state, int show) : state_(state) {
    settings_.userId = state.userId;
    settings_.shown = show != 0;
}

CUploadDlg::~CUploadDlg() = default;

bool CUploadDlg::Launch(RunState& state, std::vector<std::string>* files, std::vector<bool>* bits,
                        int show) {
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);

    auto* self = new CUploadDlg(state, show);
    HWND hwnd = self->Create(kvwin::ThisModule(), IDD_UPLOAD, state.hostWindow);
    if (hwnd == nullptr) {
        delete self;
        return false;
    }
    // From here the window owns the dialog: it deletes itself when the window is gone.
    ShowWindow(hwnd, show != 0 ? SW_SHOW : SW_HIDE);

    // The run over copies of the host's list and bits, with the settings read as the window
    // was made. The worker parks when it is through, outside this library's code.
    try {
        courier::RunView& view = *self;
        self->run_ = std::make_unique<courier::CUploadRun>(view, self->requests_, self->settings_,
                                                           *files, *bits);
        self->worker_ = std::make_unique<kvwin::ParkedThread>();
    } catch (const std::exception&) {
        DestroyWindow(hwnd);
        return false;
    }
    self->hostBits_ = bits;
    // Ends strays left by earlier runs that have come out of their calls meanwhile.
    EndStrayWorkers(state, 0);
    if (!self->worker_->Start(&UploadThreadProc, self)) {
        DestroyWindow(hwnd);
        return false;
    }
    self->launched_ = true;
    state.dialog = self;
    return true;
}

BOOL CUploadDlg::OnInitDialog() {
    SetSmallIcon(SmallIcon());
    CBkDialog::OnInitDialog();

    // Without the library the template's texts are the English keys already.
    if (language_.Load(hwnd())) {
        for (HWND window : {hwnd(), GetDlgItem(hwnd(), IDOK), GetDlgItem(hwnd(), IDC_CANCEL_RUN)}) {
            char key[256] = {};
            GetWindowTextA(window, key, sizeof key);
            SetWindowTextA(window, language_.Text(key).c_str());
        }
    }
    ReadConfiguration();
    SendDlgItemMessageA(hwnd(), IDC_BYTE_BAR, PBM_SETRANGE32, 0, 100);
    EnableWindow(GetDlgItem(hwnd(), IDOK), FALSE);
    MakeOwnerDrawn(IDOK);
    MakeOwnerDrawn(IDC_CANCEL_RUN);
    return TRUE;
}

void CUploadDlg::ReadConfiguration() {
    const std::string file = kvwin::ModuleFolder(kvwin::ThisModule()) + kConfigFile;
    settings_.uploadUrl = ProfileText("site", kDefaultSite, file);
    settings_.checkUrl = ProfileText("check", kDefaultCheck, file);
    const char* keys[] = {"probe1", "probe2", "probe3"};
    for (int i = 0; i < 3; ++i) {
        // An empty probe is skipped.
        std::string probe = ProfileText(keys[i], kDefaultProbes[i], file);
        if (!probe.empty()) settings_.probes.push_back(std::move(probe));
    }
    // The longest any one probe, check or upload may take, in seconds (beyond what an
    // upload's body needs); the built-in limits without it.
    const UINT deadline = GetPrivateProfileIntA("config", "deadline", 0, file.c_str());
    if (deadline > 0 && deadline <= kLongestDeadlineSeconds) requests_.SetDeadline(deadline * 1000);
}

bool CUploadDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) {
    switch (message) {
        case WM_UPLOAD_STATUS:
            OnStatus(wParam, lParam);
            result = TRUE;
            return true;
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
                case IDOK:
                case IDCANCEL:
                    DestroyWindow(hwnd());
                    return true;
                case IDC_CANCEL_RUN:
                    // The dialog may be gone when this returns.
                    if (HIWORD(wParam) == BN_CLICKED) OnCancelButton();
                    return true;
            }
            break;
        case WM_CLOSE:
            // The close box closes at once, without the Cancel button's steps.
            DestroyWindow(hwnd());
            return true;
        case kEndForUnload:
            EndRunForUnload(false);
            return true;
    }
    return false;
}

void CUploadDlg::OnStatus(WPARAM what, LPARAM value) {
    const auto text = [value] { return reinterpret_cast<const std::string*>(value)->c_str(); };
    switch (what) {
        case kFileRange:
            SendDlgItemMessageA(hwnd(), IDC_FILE_BAR, PBM_SETRANGE32, 0, value);
            break;
        case kByteRange:
            SendDlgItemMessageA(hwnd(), IDC_BYTE_BAR, PBM_SETRANGE32, 0, value);
            break;
        case kFilePos:
            SendDlgItemMessageA(hwnd(), IDC_FILE_BAR, PBM_SETPOS, value, 0);
            break;
        case kBytePos:
            SendDlgItemMessageA(hwnd(), IDC_BYTE_BAR, PBM_SETPOS, value, 0);
            break;
        case kStatusText:
            if (value != 0) SetDlgItemTextA(hwnd(), IDC_STATUS, text());
            break;
        case kFileLine:
            if (value != 0) SetDlgItemTextA(hwnd(), IDC_FILE_LINE, text());
            break;
    }
}

void CUploadDlg::OnCancelButton() {
    cancelled_ = true;
    const HWND window = hwnd();
    if (requests_.Cancel()) {
        // Let the upload stop and its last updates through before the dialog goes. A
        // message handled here may close the dialog already: nothing below touches it.
        Sleep(kCancelPauseMs);
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                PostQuitMessage(static_cast<int>(msg.wParam));
                break;
            }
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    PostMessageA(window, WM_COMMAND, IDCANCEL, 0);
}

void CUploadDlg::OnWindowGone() {
    windowGone_ = true;
    if (launched_) {
        // However the window went (Ok, Cancel, the close box, Esc, an unload), the run's
        // requests end first; the worker then finishes by itself.
        requests_.Cancel();
        if (!WorkerFinished(kWorkerStopMs)) {
            // Still inside a call that ignores the cancel, and it may touch this object
            // until that call returns: the object stays for good, the thread is ended
            // when the library unloads. The host gets the results as they stand.
            {
                kvwin::Locked hold(state_.strayLock);
                state_.strayWorkers.push_back(worker_.release());
            }
            language_.Abandon();
            WriteResultsAndNotify(false);
            return;
        }
        WriteResultsAndNotify(false);
    }
    // Freeing a library while the loader is busy unloading this one is not safe.
    if (unloading_) language_.Abandon();
    delete this;
}

bool CUploadDlg::WorkerFinished(DWORD graceMs) {
    if (!worker_ || !worker_->started()) return true;
    // The worker may be sending to the dialog right now: its sends are let through (they
    // fail at once, the window is gone) so that it can finish.
    HANDLE parked = worker_->parked();
    const DWORD start = GetTickCount();
    for (;;) {
        const DWORD elapsed = GetTickCount() - start;
        if (elapsed >= graceMs) break;
        const DWORD wait =
            MsgWaitForMultipleObjects(1, &parked, FALSE, graceMs - elapsed, QS_SENDMESSAGE);
        if (wait != WAIT_OBJECT_0 + 1) break;
        MSG msg;
        PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
    if (WaitForSingleObject(parked, 0) != WAIT_OBJECT_0) return false;
    // Parked outside this library's code: its thread ends without running any of it.
    worker_->End(0);
    return true;
}

void CUploadDlg::UploadThreadProc(void* dialog) {
    static_cast<CUploadDlg*>(dialog)->run_->Run();
}

// Once the window is gone the worker tells it nothing more.
void CUploadDlg::OfferOk() {
    if (Gone()) return;
    EnableWindow(GetDlgItem(hwnd(), IDOK), TRUE);
    EnableWindow(GetDlgItem(hwnd(), IDC_CANCEL_RUN), FALSE);
}

void CUploadDlg::Close() {
    if (!Gone()) PostMessageA(hwnd(), WM_COMMAND, IDOK, 0);
}

void CUploadDlg::Send(StatusUpdate what, LPARAM value) const {
    if (!Gone()) SendMessageA(hwnd(), WM_UPLOAD_STATUS, what, value);
}

void CUploadDlg::SendText(StatusUpdate what, const std::string& text) const {
    if (!Gone()) SendMessageA(hwnd(), WM_UPLOAD_STATUS, what, reinterpret_cast<LPARAM>(&text));
}

void CUploadDlg::WriteResultsAndNotify(bool fromOtherThread) {
    // Bit by bit into the host's own storage, never past its end.
    const std::vector<bool> results = run_->Results();
    for (size_t i = 0; i < results.size() && i < hostBits_->size(); ++i) {
        (*hostBits_)[i] = results[i];
    }
    if (state_.copyResults && state_.hostResults != nullptr) {
        for (size_t i = 0; i < state_.resultBits.size(); ++i) {
            state_.hostResults[i] = state_.resultBits[i] ? 1 : 0;
        }
    }
    const HWND host = state_.hostWindow;
    state_.dialog = nullptr;
    // The host may start the next run from its notice handler.
    state_.active = false;
    if (fromOtherThread) {
        // Delivered as a sent message once the host's thread takes messages again; this
        // thread cannot wait for it.
        SendNotifyMessageA(host, WM_UPLOAD_STATUS, 0, 0);
    } else {
        SendMessageA(host, WM_UPLOAD_STATUS, 0, 0);
    }
}

void CUploadDlg::CloseForUnload() {
    unloading_ = true;
    const HWND window = hwnd();
    if (GetWindowThreadProcessId(window, nullptr) == GetCurrentThreadId()) {
        // Closes as usual: the worker ends, results are written, the host is told.
        DestroyWindow(window);
        return;
    }
    // The window belongs to another thread, which ends the run while the unload waits.
    // It must not destroy the window now: its controls may have to load code on the way,
    // and the loader is the unload's until it is done.
    DWORD_PTR ignored = 0;
    if (SendMessageTimeoutA(window, kEndForUnload, 0, 0, SMTO_NORMAL, kUnloadCloseMs,
                            &ignored) != 0) {
        return;
    }
    // That thread takes no messages: the run ends from here.
    EndRunForUnload(true);
}

void CUploadDlg::EndRunForUnload(bool fromOtherThread) {
    windowGone_ = true;
    requests_.Cancel();
    if (fromOtherThread) {
        // The worker finishes by itself; ended as the last resort when stuck in a call.
        if (worker_) worker_->End(kWorkerStopMs);
    } else if (!WorkerFinished(kWorkerStopMs)) {
        kvwin::Locked hold(state_.strayLock);
        state_.strayWorkers.push_back(worker_.release());
    }
    MakeWindowInert();
    language_.Abandon();
    // This object stays: nothing of it is used again, and a thread that is not ours may
    // still be on its way out of it.
    WriteResultsAndNotify(fromOtherThread);
}

void CUploadDlg::MakeWindowInert() {
    const HWND window = hwnd();
    // Hidden, with the system's own procedures behind the window and its buttons; its
    // thread destroys it (and its controls) when it next takes messages.
    SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&DefWindowProcA));
    for (int id : {IDOK, IDC_CANCEL_RUN}) {
        const HWND button = GetDlgItem(window, id);
        SetWindowLongPtrA(button, GWLP_WNDPROC, GetClassLongPtrA(button, GCLP_WNDPROC));
    }
    ShowWindowAsync(window, SW_HIDE);
    PostMessageA(window, WM_CLOSE, 0, 0);
}

void CUploadDlg::EndStrayWorkers(RunState& state, DWORD graceMs) {
    kvwin::Locked hold(state.strayLock);
    auto& strays = state.strayWorkers;
    for (auto it = strays.begin(); it != strays.end();) {
        kvwin::ParkedThread* worker = *it;
        if (graceMs == 0 && WaitForSingleObject(worker->parked(), 0) != WAIT_OBJECT_0) {
            ++it;
            continue;
        }
        // At the unload: the last resort for a worker still stuck in its call.
        worker->End(graceMs);
        delete worker;
        it = strays.erase(it);
    }
}
