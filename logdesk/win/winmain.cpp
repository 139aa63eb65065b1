// LogDesk.exe: paths, language library, single instance, then the main dialog.
#include <windows.h>

#include <commctrl.h>

#include "logdesk_app.h"
#include "main_dialog.h"

namespace {

constexpr const char kActivationClass[] = "Kavro_LogBrowse_ClassName";

// The hidden window a second start finds by class and title; it brings the dialog up.
LRESULT CALLBACK ActivationWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_LOGDESK_ACTIVATE: {
            HWND dialog = reinterpret_cast<HWND>(GetWindowLongPtrA(window, GWLP_USERDATA));
            if (dialog != nullptr) {
                ShowWindow(dialog, SW_SHOWNORMAL);
                SetForegroundWindow(dialog);
            }
            return 0;
        }
        case WM_PAINT: {
            PAINTSTRUCT paint;
            BeginPaint(window, &paint);
            EndPaint(window, &paint);
            return 0;
        }
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        default:
            return DefWindowProcA(window, message, wParam, lParam);
    }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);

    CLogDeskApp app;
    if (!app.InitPaths()) return 1;
    app.LoadLanguageLibrary();
    app.TranslateAppTexts();

    HWND running = FindWindowA(kActivationClass, app.ProgramName().c_str());
    if (running != nullptr) {
        SendMessageA(running, WM_LOGDESK_ACTIVATE, 0, 0);
        return 0;
    }
    WNDCLASSA windowClass = {};
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = ActivationWindowProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = kActivationClass;
    RegisterClassA(&windowClass);
    HWND activation = CreateWindowExA(0, kActivationClass, app.ProgramName().c_str(), WS_POPUP, 0,
                                      0, 0, 0, nullptr, nullptr, instance, nullptr);

    {
        CLogDeskDialog dialog(app, activation);
        dialog.DoModal(instance);
    }
    if (activation != nullptr) DestroyWindow(activation);
    return 0;
}
