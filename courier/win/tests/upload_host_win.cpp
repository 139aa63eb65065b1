#include "upload_host_win.h"

#include <commctrl.h>

#include "win32/handles.h"

namespace {


constexpr char kHostClass[] = "CourierTestHost";
UploadHost* g_host = nullptr;  // the host whose hook runs on this thread

}  // namespace

UploadHost::UploadHost(const std::string& dllPath) {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = &UploadHost::HostProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = kHostClass;
    RegisterClassA(&windowClass);  // fails harmlessly when registered already
    window_ = CreateWindowExA(0, kHostClass, "host", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr,
                              nullptr, GetModuleHandleA(nullptr), nullptr);
    SetWindowLongPtrA(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    g_host = this;
    hook_ = SetWindowsHookExA(WH_CALLWNDPROC, &UploadHost::HookProc, nullptr, GetCurrentThreadId());

    module_ = LoadLibraryA(dllPath.c_str());
    const auto factory = ProcAddress<GetKavroComponentPtrFn>(module_, "GetKavroComponentPtr");
    if (factory == nullptr || factory(&component_, nullptr) != 1 || component_ == nullptr) return;
    upload_ = static_cast<IDlgUpload*>(component_->GetInterface(kDlgUploadName, 0));
}

UploadHost::~UploadHost() {
    Unload();
    if (hook_ != nullptr) UnhookWindowsHookEx(hook_);
    if (g_host == this) g_host = nullptr;
    DestroyWindow(window_);
}

void UploadHost::Unload() {
    if (module_ != nullptr) FreeLibrary(module_);
    module_ = nullptr;
    upload_ = nullptr;
    component_ = nullptr;
}

DWORD WINAPI FreeOnThisThread(void* module) {
    FreeLibrary(static_cast<HMODULE>(module));
    return 0;
}

DWORD UploadHost::UnloadOnAnotherThread(bool pump) {
    UniqueHandle thread(CreateThread(nullptr, 0, &FreeOnThisThread, module_, 0, nullptr));
    module_ = nullptr;
    upload_ = nullptr;
    component_ = nullptr;
    const HANDLE done = thread.get();
    if (pump) {
        PumpUntil([done] { return WaitForSingleObject(done, 0) == WAIT_OBJECT_0; }, 60000);
    } else {
        WaitForSingleObject(done, 60000);
    }
    return GetTickCount();
}

int UploadHost::Start(std::vector<std::string>* files, unsigned char* results, size_t count,
                      int show, int userId) {
    watched_ = results;
    watchedCount_ = count;
    awaitingDialog_ = true;
    return upload_->StartUpload(files, results, window_, show, userId);
}

int UploadHost::StartEx(std::vector<std::string>* files, std::vector<bool>* bits, int show,
                        int userId) {
    watched_ = nullptr;
    watchedCount_ = 0;
    awaitingDialog_ = true;
    return upload_->StartUploadEx(files, bits, window_, show, userId);
}

bool UploadHost::PumpUntil(const std::function<bool()>& done, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start >= timeoutMs) return done();
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    return true;
}

void UploadHost::PumpFor(DWORD ms) {
    const DWORD start = GetTickCount();
    PumpUntil([&] { return GetTickCount() - start >= ms; }, ms + 1000);
}

bool UploadHost::WaitForNotice(DWORD timeoutMs) {
    return PumpUntil([this] { return !notices_.empty(); }, timeoutMs);
}

LRESULT CALLBACK UploadHost::HostProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* host = reinterpret_cast<UploadHost*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (message == WM_UPLOAD_STATUS && host != nullptr) {
        Notice notice{wParam, lParam, {}, GetTickCount()};
        if (host->watched_ != nullptr) {
            notice.bytes.assign(host->watched_, host->watched_ + host->watchedCount_);
        }
        host->notices_.push_back(std::move(notice));
        return 0;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

LRESULT CALLBACK UploadHost::HookProc(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HC_ACTION && g_host != nullptr) {
        g_host->Record(*reinterpret_cast<const CWPSTRUCT*>(lParam));
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

void UploadHost::Record(const CWPSTRUCT& call) {
    if (call.message == WM_INITDIALOG) {
        // The progress dialog's initialisation comes before that of any message box it
        // shows.
        if (awaitingDialog_) {
            awaitingDialog_ = false;
            dialog_ = call.hwnd;
            dialogGoneAt_ = 0;
            ++dialogsCreated_;
            events_.clear();
        }
        return;
    }
    if (dialog_ == nullptr) return;
    if (call.hwnd == dialog_ && call.message == WM_NCDESTROY) dialogGoneAt_ = GetTickCount();
    // The dialog and its controls; not the windows it owns, such as a message box.
    const bool own = call.hwnd == dialog_;
    if (!own && GetAncestor(call.hwnd, GA_PARENT) != dialog_) return;
    switch (call.message) {
        case WM_SETTEXT:
        case PBM_SETPOS:
        case PBM_SETRANGE32:
        case WM_SHOWWINDOW: {
            HookEvent event;
            event.control = own ? 0 : static_cast<int>(GetWindowLongPtrA(call.hwnd, GWLP_ID));
            event.message = call.message;
            event.wParam = call.wParam;
            event.lParam = call.lParam;
            if (call.message == WM_SETTEXT && call.lParam != 0) {
                event.text = reinterpret_cast<const char*>(call.lParam);
            }
            events_.push_back(std::move(event));
            break;
        }
    }
}

std::vector<HookEvent> UploadHost::EventsOf(int control, UINT message) const {
    std::vector<HookEvent> out;
    for (const HookEvent& event : events_) {
        if (event.control == control && event.message == message) out.push_back(event);
    }
    return out;
}

std::vector<std::string> UploadHost::Captions() const {
    return Texts(0);
}

std::vector<std::string> UploadHost::Texts(int control) const {
    std::vector<std::string> out;
    for (const HookEvent& event : EventsOf(control, WM_SETTEXT)) out.push_back(event.text);
    return out;
}

std::vector<LPARAM> UploadHost::Positions(int control) const {
    std::vector<LPARAM> out;
    for (const HookEvent& event : EventsOf(control, PBM_SETPOS)) out.push_back(event.wParam);
    return out;
}

std::vector<std::pair<WPARAM, LPARAM>> UploadHost::Ranges(int control) const {
    std::vector<std::pair<WPARAM, LPARAM>> out;
    for (const HookEvent& event : EventsOf(control, PBM_SETRANGE32)) {
        out.emplace_back(event.wParam, event.lParam);
    }
    return out;
}

bool UploadHost::EverShown() const {
    for (const HookEvent& event : EventsOf(0, WM_SHOWWINDOW)) {
        if (event.wParam != 0) return true;
    }
    return false;
}

void UploadHost::Click(int control) const {
    PostMessageA(dialog_, WM_COMMAND, MAKEWPARAM(control, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog_, control)));
}

MessageBoxCloser::MessageBoxCloser(DWORD thread) : thread_(thread) {
    worker_ = CreateThread(nullptr, 0, &MessageBoxCloser::Watch, this, 0, nullptr);
}

MessageBoxCloser::~MessageBoxCloser() {
    Text();
    CloseHandle(worker_);
}

std::string MessageBoxCloser::Text() {
    InterlockedExchange(&stop_, 1);
    WaitForSingleObject(worker_, 10000);
    return text_;
}

DWORD WINAPI MessageBoxCloser::Watch(void* self) {
    auto* closer = static_cast<MessageBoxCloser*>(self);
    const DWORD start = GetTickCount();
    while (closer->text_.empty() && closer->stop_ == 0 && GetTickCount() - start < 30000) {
        EnumThreadWindows(closer->thread_, &MessageBoxCloser::CloseIfBox,
                          reinterpret_cast<LPARAM>(closer));
        Sleep(20);
    }
    return 0;
}

BOOL CALLBACK MessageBoxCloser::CloseIfBox(HWND window, LPARAM self) {
    auto* closer = reinterpret_cast<MessageBoxCloser*>(self);
    char name[16] = {};
    char text[256] = {};
    GetClassNameA(window, name, sizeof name);
    if (lstrcmpA(name, "#32770") != 0 || GetDlgItemTextA(window, 0xFFFF, text, sizeof text) == 0) {
        return TRUE;
    }
    closer->text_ = text;
    PostMessageA(window, WM_COMMAND, IDOK, 0);
    return FALSE;
}
