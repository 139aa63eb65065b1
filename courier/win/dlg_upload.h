#pragma once
// The upload component's interface, as hosts see it. The slot order is an ABI shared with
// hosts built by other compilers (thiscall): never reorder, never add a destructor.
#include <windows.h>

#include <string>
#include <vector>

constexpr const char kDlgUploadName[] = "IDlgUpload";

// WM_USER + 100. Sent to the progress dialog it carries a status update (wParam selects
// it, see CUploadDlg); sent to the host window with wParam 0 and lParam 0 it tells the
// host that the run has ended and its results are written.
constexpr UINT WM_UPLOAD_STATUS = WM_USER + 100;

class IDlgUpload {
public:
    // Slot 0. Checks and uploads `files`; at the end results[i] is 1 for every file the
    // server holds, else 0. `results` has one byte per file and, like `files`, must stay
    // valid until the host window receives the end notice. A nonzero `show` shows the
    // progress dialog. 1 when the run started; 0 when another run is still active or the
    // run could not start (nothing is written and no notice follows then).
    virtual int StartUpload(std::vector<std::string>* files, unsigned char* results,
                            HWND hostWindow, int show, int userId) = 0;
    // Slot 1. As StartUpload, with the results as bits of the host's own vector (at least
    // one per file): bits of files the server holds are set, those whose check failed
    // cleared, the others left as they were. No byte array is written.
    virtual int StartUploadEx(std::vector<std::string>* files, std::vector<bool>* resultBits,
                              HWND hostWindow, int show, int userId) = 0;
};
