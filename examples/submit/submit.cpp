// submit: sends sample files to the sample site through Courier.dll and prints what
// became of each.
//
//   submit [--shown] [--user ID] FILE...
//   submit [--shown] [--user ID] --from-log SCANLOG
//
// The second form takes the files of the "found" lines of a scan log, such as the one
// `assay --log SCANLOG` writes. Courier asks the site of Courier.cfg (beside Courier.dll)
// for each file's MD5 digest and uploads the files the site asks for; the progress
// dialog stays hidden unless --shown. Exit status: 0 when the site holds every file, 1
// when some were not handled, 2 when nothing could be started.
//
// Built only against the installed kit, with the compiler the library was built with
// (mingw-w64 GCC): the file list is a std::vector of std::string that Courier reads.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "kavro/component.h"
#include "kavro/courier.h"

namespace {

// The host window: it owns the (hidden) progress dialog and receives the end of the run.
LRESULT CALLBACK HostWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_UPLOAD_STATUS && wParam == 0 && lParam == 0) {
        // The results are written; the library is done with the list.
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

HWND CreateHostWindow() {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = HostWindowProc;
    windowClass.hInstance = GetModuleHandleA(NULL);
    windowClass.lpszClassName = "KavroSubmitHost";
    RegisterClassA(&windowClass);
    // Never shown: a top-level window so that it can own a dialog.
    return CreateWindowA("KavroSubmitHost", "submit", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                         CW_USEDEFAULT, 200, 100, NULL, NULL, windowClass.hInstance, NULL);
}

// The paths of the lines "time TAB path TAB found TAB name TAB state".
bool FilesOfScanLog(const char* logPath, UploadFileList* files) {
    std::ifstream log(logPath);
    if (!log) return false;
    std::string line;
    while (std::getline(log, line)) {
        if (!line.empty() && line[line.size() - 1] == '\r') line.erase(line.size() - 1);
        const size_t path = line.find('\t');
        const size_t marker = path == std::string::npos ? path : line.find('\t', path + 1);
        const size_t name = marker == std::string::npos ? marker : line.find('\t', marker + 1);
        if (name != std::string::npos && line.compare(marker + 1, name - marker - 1, "found") == 0)
            files->push_back(line.substr(path + 1, marker - path - 1));
    }
    return true;
}

int Usage() {
    std::fprintf(stderr,
                 "usage: submit [--shown] [--user ID] FILE...\n"
                 "       submit [--shown] [--user ID] --from-log SCANLOG\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    UploadFileList files;
    int show = 0, userId = 0;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--shown") == 0) {
            show = 1;
        } else if (std::strcmp(argv[i], "--user") == 0 && i + 1 < argc) {
            userId = std::atoi(argv[++i]);
        } else if (std::strcmp(argv[i], "--from-log") == 0 && i + 1 < argc) {
            if (!FilesOfScanLog(argv[++i], &files)) {
                std::fprintf(stderr, "submit: cannot read %s\n", argv[i]);
                return 2;
            }
        } else if (argv[i][0] == '-') {
            return Usage();
        } else {
            files.push_back(argv[i]);
        }
    }
    if (files.empty()) {
        std::printf("submit: no files\n");
        return 0;
    }

    HMODULE courier = LoadLibraryA("Courier.dll");
    GetKavroComponentPtrFn factory = courier != NULL
                                         ? reinterpret_cast<GetKavroComponentPtrFn>(
                                               GetProcAddress(courier, kGetKavroComponentPtrName))
                                         : NULL;
    IComponent* component = NULL;
    IDlgUpload* upload = NULL;
    if (factory != NULL && factory(&component, NULL) != 0 && component != NULL)
        upload = static_cast<IDlgUpload*>(component->GetInterface(kDlgUploadName, 0));
    HWND host = upload != NULL ? CreateHostWindow() : NULL;
    std::vector<unsigned char> results(files.size(), 0);
    if (host == NULL || upload->StartUpload(&files, &results[0], host, show, userId) == 0) {
        std::fprintf(stderr, "submit: cannot start an upload run with Courier.dll\n");
        if (courier != NULL) FreeLibrary(courier);
        return 2;
    }

    // The run reports to the host window; the library's dialog lives on this thread.
    MSG message;
    while (GetMessageA(&message, NULL, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }

    int held = 0;
    for (size_t i = 0; i < files.size(); ++i) {
        held += results[i] != 0;
        std::printf("submit: %-16s  %s\n", results[i] ? "held by the site" : "not handled",
                    files[i].c_str());
    }
    std::printf("submit: %d of %u files held by the site\n", held,
                static_cast<unsigned>(files.size()));
    DestroyWindow(host);
    FreeLibrary(courier);
    return held == static_cast<int>(files.size()) ? 0 : 1;
}
