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

// No DllMain of its own: a run holds a reference to the library until its worker is
// through (upload_dlg.h), so the library is never detached under a run, and nothing has
// to be ended or waited for at the unload.
