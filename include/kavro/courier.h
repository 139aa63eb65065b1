#ifndef KAVRO_COURIER_H
#define KAVRO_COURIER_H
// Courier.dll for its hosts: the upload interface and the message that ends a run.
//
// A host gets the interface through the component convention (component.h):
// GetInterface(kDlgUploadName, 0) on the object the export hands out. For each file of a
// run the library asks the site named in Courier.cfg (beside the library) whether it
// holds a sample with the file's MD5 digest, and uploads the file when the site asks
// for it, behind a small progress dialog owned by the host's window. The run goes on in
// a worker thread; the host's thread must pump messages until the run has ended. A host
// that frees the library during a run does not unload it under the dialog: FreeLibrary
// returns at once, the run goes on until its dialog is closed (by the user, or by itself
// when hidden), the host gets its message as ever, and the library goes after that.
//
// The file list and the result bits are C++ standard library objects that the library
// reads and writes itself, so they must be laid out as the library's own runtime lays
// them out: GCC's libstdc++ (mingw-w64), with its default string. A host built with that
// runtime gets them as std::vector; for any other compiler they stay incomplete types
// here, and a call that passes them does not compile rather than corrupt memory.
//
// Plain C++ for any 32-bit Windows compiler; it needs no windows.h.
#include "abi.h"
#include "component.h"
#include "win32_types.h"

#if defined(__has_include)
#if __has_include(<vector>)
#include <string>
#include <vector>
#endif
#endif

// The component's name, and the name of its one interface.
const char kDlgUploadName[] = "IDlgUpload";

// WM_USER + 100, sent (not posted) to the host window with wParam 0 and lParam 0 once a
// run has ended and its results are written: then the host may free the list and the
// results. (Inside the library the same number carries the dialog's own updates.)
const UINT WM_UPLOAD_STATUS = 0x0400 + 100;

#if defined(__GLIBCXX__) && defined(_GLIBCXX_USE_CXX11_ABI) && _GLIBCXX_USE_CXX11_ABI
// Full paths in the ANSI code page.
typedef std::vector<std::string> UploadFileList;
// One bit per file.
typedef std::vector<bool> UploadResultBits;
#else
struct UploadFileList;
struct UploadResultBits;
#endif

class IDlgUpload {
public:
    // Slot 0. Checks and uploads `files`; at the end results[i] is 1 for every file the
    // site holds (it had it already, or it was uploaded now), else 0. `results` has one
    // byte per file and, like `files`, stays the host's and must stay valid until
    // `hostWindow` receives WM_UPLOAD_STATUS. A nonzero `show` shows the progress dialog;
    // hidden, the run closes itself at its end. `userId` is sent with every upload.
    // Returns 1 when the run started; 0 when another run of this library is still going
    // or the run could not start (then nothing is written and no message follows).
    virtual int KAVRO_SLOT StartUpload(UploadFileList* files, unsigned char* results,
                                       HWND hostWindow, int show, int userId) = 0;
    // Slot 1. As StartUpload, with the results as bits of the host's own vector (at least
    // one bit per file): bits of files the site holds are set, those whose check failed
    // are cleared, the others are left as they were. No byte array is written.
    virtual int KAVRO_SLOT StartUploadEx(UploadFileList* files, UploadResultBits* resultBits,
                                         HWND hostWindow, int show, int userId) = 0;

protected:
    // The library's own object: never deleted through this interface.
    ~IDlgUpload() {}
};

#endif  // KAVRO_COURIER_H
