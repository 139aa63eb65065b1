// courier_demo FILE...: one shown upload run of the Courier.dll beside this program, as a
// host would start it; prints each file's result once the run has ended. Courier.cfg
// beside the library names the site.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "component.h"
#include "dlg_upload.h"
#include "win32/handles.h"

namespace {


LRESULT CALLBACK HostProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_UPLOAD_STATUS) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> files(argv + 1, argv + argc);
    UniqueModule courier(LoadLibraryA("Courier.dll"));
    const auto factory = ProcAddress<GetKavroComponentPtrFn>(courier.get(), "GetKavroComponentPtr");
    IComponent* component = nullptr;
    if (factory == nullptr || factory(&component, nullptr) != 1) {
        std::fprintf(stderr, "Courier.dll could not be loaded\n");
        return 2;
    }
    auto* upload = static_cast<IDlgUpload*>(component->GetInterface(kDlgUploadName, 0));

    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = &HostProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "CourierDemoHost";
    RegisterClassA(&windowClass);
    HWND host = CreateWindowExA(0, windowClass.lpszClassName, "Courier demo", WS_OVERLAPPEDWINDOW,
                                0, 0, 320, 200, nullptr, nullptr, windowClass.hInstance, nullptr);

    std::vector<unsigned char> results(files.size());
    if (upload == nullptr || upload->StartUpload(&files, results.data(), host, 1, 0) != 1) {
        std::fprintf(stderr, "the run did not start\n");
        return 2;
    }
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    for (size_t i = 0; i < files.size(); ++i) {
        std::printf("%d %s\n", results[i], files[i].c_str());
    }
    DestroyWindow(host);
    return 0;
}
