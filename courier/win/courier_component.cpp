// Courier.dll: the upload component object and the library's factory export.
#include <windows.h>

#include <exception>

#include "component.h"
#include "dlg_upload.h"
#include "factory.h"
#include "upload_dlg.h"

namespace {

// The library's result state, shared by its one component object and the dialog of the
// active run.
RunState g_run;

// How long an unload waits for each worker that was left inside a call when its dialog
// closed, before ending it as the last resort.
constexpr DWORD kStrayWorkerGraceMs = 2000;

class CCourier final : public IComponent, public IDlgUpload {
public:
    const char* GetName(char* buffer, int size) override {
        return AnswerComponentName(kDlgUploadName, buffer, size);
    }
    void* GetInterface(const char* name, int) override {
        return ComponentNameEquals(name, kDlgUploadName) ? static_cast<IDlgUpload*>(this) : nullptr;
    }

    int StartUpload(std::vector<std::string>* files, unsigned char* results, HWND hostWindow,
                    int show, int userId) override {
        if (files == nullptr || results == nullptr || !Claim()) return 0;
        try {
            g_run.resultBits.assign(files->size(), false);
        } catch (const std::exception&) {
            g_run.active = false;
            return 0;
        }
        g_run.copyResults = true;
        g_run.hostResults = results;
        return Launch(files, &g_run.resultBits, hostWindow, show, userId);
    }

    int StartUploadEx(std::vector<std::string>* files, std::vector<bool>* resultBits,
                      HWND hostWindow, int show, int userId) override {
        if (files == nullptr || resultBits == nullptr || !Claim()) return 0;
        // Only a run started by StartUpload writes to a byte array: an earlier run's
        // array may be gone by now.
        g_run.copyResults = false;
        g_run.hostResults = nullptr;
        return Launch(files, resultBits, hostWindow, show, userId);
    }

private:
    // One run at a time: a second start would share the running worker's result state.
    static bool Claim() {
        bool idle = false;
        return g_run.active.compare_exchange_strong(idle, true);
    }

    static int Launch(std::vector<std::string>* files, std::vector<bool>* bits, HWND hostWindow,
                      int show, int userId) {
        g_run.hostWindow = hostWindow;
        g_run.userId = userId;
        bool started = false;
        try {
            started = CUploadDlg::Launch(g_run, files, bits, show);
        } catch (const std::exception&) {
        }
        if (!started) {
            g_run.copyResults = false;
            g_run.hostResults = nullptr;
            g_run.active = false;
            return 0;
        }
        return 1;
    }
};

}  // namespace

extern "C" int __cdecl GetKavroComponentPtr(IComponent** out, IKavroComponentManager* registry) {
    return ServeComponent<CCourier>(out, registry);
}

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_DETACH && reserved == nullptr) {
        // Unloaded by the host with a run still going: the run ends and the host is told
        // before the code goes. At process exit (reserved set) the other threads are gone
        // already and nothing is done.
        if (CUploadDlg* dialog = g_run.dialog.load()) dialog->CloseForUnload();
        CUploadDlg::EndStrayWorkers(g_run, kStrayWorkerGraceMs);
    }
    return TRUE;
}
