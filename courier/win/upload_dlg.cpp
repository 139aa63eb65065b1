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

// How long a closing dialog lets its worker finish before ending it.
constexpr DWORD kWorkerGraceMs = 200;
// How long Cancel gives a running upload to notice it.
constexpr DWORD kCancelPauseMs = 100;
// How long a terminated worker may take to be gone.
constexpr DWORD kTerminateWaitMs = 2000;

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

    // The run over the host's list and bits, with the settings read as the window was made.
    try {
        courier::RunView& view = *self;
        self->run_ = std::make_unique<courier::CUploadRun>(view, self->requests_, self->settings_,
                                                           *files, *bits);
    } catch (const std::exception&) {
        DestroyWindow(hwnd);
        return false;
    }
    DWORD threadId = 0;
    self->worker_.reset(CreateThread(nullptr, 0, &UploadThreadProc, self, 0, &threadId));
    if (!self->worker_) {
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
        StopWorker();
        WriteResultsAndNotify();
    }
    if (unloading_) language_.Abandon();
    delete this;
}

void CUploadDlg::StopWorker() {
    if (!worker_) return;
    HANDLE worker = worker_.get();
    // The worker may be sending to the dialog right now: its sends are let through (they
    // fail at once, the window is gone) so that it can finish by itself.
    const DWORD start = GetTickCount();
    for (;;) {
        const DWORD elapsed = GetTickCount() - start;
        if (elapsed >= kWorkerGraceMs) break;
        const DWORD wait =
            MsgWaitForMultipleObjects(1, &worker, FALSE, kWorkerGraceMs - elapsed, QS_SENDMESSAGE);
        if (wait == WAIT_OBJECT_0 + 1) {
            MSG msg;
            PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
            continue;
        }
        break;
    }
    if (WaitForSingleObject(worker, 0) != WAIT_OBJECT_0) {
        // Typically blocked in a request that does not answer.
        TerminateThread(worker, 0);
        WaitForSingleObject(worker, kTerminateWaitMs);
    }
    worker_.reset();
}

DWORD WINAPI CUploadDlg::UploadThreadProc(void* dialog) {
    return static_cast<DWORD>(static_cast<CUploadDlg*>(dialog)->run_->Run());
}

void CUploadDlg::OfferOk() {
    EnableWindow(GetDlgItem(hwnd(), IDOK), TRUE);
    EnableWindow(GetDlgItem(hwnd(), IDC_CANCEL_RUN), FALSE);
}

void CUploadDlg::Close() {
    PostMessageA(hwnd(), WM_COMMAND, IDOK, 0);
}

void CUploadDlg::Send(StatusUpdate what, LPARAM value) const {
    SendMessageA(hwnd(), WM_UPLOAD_STATUS, what, value);
}

void CUploadDlg::SendText(StatusUpdate what, const std::string& text) const {
    SendMessageA(hwnd(), WM_UPLOAD_STATUS, what, reinterpret_cast<LPARAM>(&text));
}

void CUploadDlg::WriteResultsAndNotify() {
    if (state_.copyResults && state_.hostResults != nullptr) {
        for (size_t i = 0; i < state_.resultBits.size(); ++i) {
            state_.hostResults[i] = state_.resultBits[i] ? 1 : 0;
        }
    }
    const HWND host = state_.hostWindow;
    state_.dialog = nullptr;
    // The host may start the next run from its notice handler.
    state_.active = false;
    SendMessageA(host, WM_UPLOAD_STATUS, 0, 0);
}

void CUploadDlg::AbandonAtUnload() {
    unloading_ = true;
    if (GetWindowThreadProcessId(hwnd(), nullptr) == GetCurrentThreadId()) {
        // Closes as usual: the worker ends, results are written, the host is told.
        DestroyWindow(hwnd());
        return;
    }
    // The window belongs to another thread and cannot be closed from here; at least no
    // worker runs on in code that is about to go.
    if (worker_) TerminateThread(worker_.get(), 0);
}
