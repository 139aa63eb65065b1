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
// The largest "deadline" of Courier.cfg taken (a day).
constexpr UINT kLongestDeadlineSeconds = 86400;
// How long Cancel gives a running upload to notice it, and its last updates to show,
// before the dialog goes.
constexpr DWORD kCancelPauseMs = 100;
constexpr UINT_PTR kCancelTimer = 1;

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

CUploadDlg::~CUploadDlg() {
    // Only when the run never started: the host holds the library too then.
    if (library_ != nullptr) FreeLibrary(library_);
}

bool CUploadDlg::Launch(RunState& state, std::vector<std::string>* files, std::vector<bool>* bits,
                        int show) {
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);

    auto* self = new CUploadDlg(state, show);
    self->runEnded_.reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    self->handedOver_.reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    if (!self->runEnded_ || !self->handedOver_ ||
        !GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                            reinterpret_cast<LPCSTR>(&CUploadDlg::UploadThreadProc),
                            &self->library_)) {
        delete self;
        return false;
    }
    HWND hwnd = self->Create(kvwin::ThisModule(), IDD_UPLOAD, state.hostWindow);
    if (hwnd == nullptr) {
        delete self;
        return false;
    }
    // From here the window owns the dialog: when the window is gone it deletes itself, or
    // (once the worker runs) hands itself to the worker, which frees it.
    ShowWindow(hwnd, show != 0 ? SW_SHOW : SW_HIDE);

    // The run over copies of the host's list and bits, with the settings read as the window
    // was made.
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
    self->marker_ = CreateWindowExA(0, "STATIC", nullptr, 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                    nullptr, nullptr);
    if (self->marker_ == nullptr || !self->worker_->Start(&UploadThreadProc, self)) {
        if (self->marker_ != nullptr) DestroyWindow(self->marker_);
        DestroyWindow(hwnd);
        return false;
    }
    self->launched_ = true;
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
        case WM_TIMER:
            if (wParam != kCancelTimer) break;
            KillTimer(hwnd(), kCancelTimer);
            DestroyWindow(hwnd());
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
    if (requests_.Cancel()) {
        // The upload stops and its last updates come through the host's message loop
        // before the dialog goes; this thread takes no messages inside the library.
        SetTimer(hwnd(), kCancelTimer, kCancelPauseMs, nullptr);
        return;
    }
    PostMessageA(hwnd(), WM_COMMAND, IDCANCEL, 0);
}

void CUploadDlg::OnWindowGone() {
    windowGone_ = true;
    if (!launched_) {
        delete this;
        return;
    }
    // However the window went (Ok, Cancel, the close box, Esc), the run's requests end
    // first; the worker then finishes by itself. One still inside a call that ignores the
    // cancel after the wait (the language library, say) finishes later: the host gets
    // the results as they stand, and the dialog stays until the worker is through.
    requests_.Cancel();
    RunEnded(kWorkerStopMs);
    WriteResultsAndNotify();
    // From here the dialog is the worker's: it may be freed at any moment.
    SetEvent(handedOver_.get());
}

bool CUploadDlg::RunEnded(DWORD graceMs) {
    // The worker may be sending to the dialog right now: its sends are let through (they
    // fail at once, the window is gone) so that it can finish.
    HANDLE ended = runEnded_.get();
    const DWORD start = GetTickCount();
    for (;;) {
        const DWORD elapsed = GetTickCount() - start;
        if (elapsed >= graceMs) break;
        const DWORD wait =
            MsgWaitForMultipleObjects(1, &ended, FALSE, graceMs - elapsed, QS_SENDMESSAGE);
        if (wait != WAIT_OBJECT_0 + 1) break;
        MSG msg;
        PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
    return WaitForSingleObject(ended, 0) == WAIT_OBJECT_0;
}

void CUploadDlg::UploadThreadProc(void* dialog) {
    auto* self = static_cast<CUploadDlg*>(dialog);
    self->run_->Run();
    SetEvent(self->runEnded_.get());
    WaitForSingleObject(self->handedOver_.get(), INFINITE);
    // The dialog's thread may still be on its way out of the window's procedure. It
    // handles this message only once it takes messages again: outside this library (it
    // takes none inside it after the hand-over), or inside another run's dialog, which
    // holds a reference of its own. A thread that has ended answers at once.
    SendMessageA(self->marker_, WM_NULL, 0, 0);
    PostMessageA(self->marker_, WM_CLOSE, 0, 0);
    const HMODULE library = self->library_;
    self->library_ = nullptr;
    delete self;
    // Unloads the library when the host has let go of it meanwhile; this thread ends in
    // the system's code.
    FreeLibraryAndExitThread(library, 0);
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

void CUploadDlg::WriteResultsAndNotify() {
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
    // The host may start the next run from its notice handler.
    state_.active = false;
    SendMessageA(host, WM_UPLOAD_STATUS, 0, 0);
}
