#pragma once
// The shell-execute hook object: hands each request to the monitor through the shared
// page while the hand-off is enabled, and lets it through otherwise.
#include "com_server_win.h"
#include "win32/handles.h"

class CShellExWatch final : public CDualObject<IShellExWatch>, public IShellExecuteHookA {
public:
    // Creates or opens the hand-off events in this process.
    CShellExWatch();
    // Closes the two event handles (the base lets the library go).
    ~CShellExWatch() override = default;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    // One count for both interfaces.
    ULONG STDMETHODCALLTYPE AddRef() override { return CDualObject::AddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return CDualObject::Release(); }

    // S_FALSE lets the shell start the program; S_OK means the request was handled (blocked).
    HRESULT STDMETHODCALLTYPE Execute(LPSHELLEXECUTEINFOA request) override;

private:
    UniqueHandle in_;
    UniqueHandle out_;
};
