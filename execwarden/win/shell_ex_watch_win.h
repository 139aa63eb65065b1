#pragma once
// The shell-execute hook object: hands each request to the monitor through the shared
// page while the hand-off is enabled, and lets it through otherwise.
#include "com_server_win.h"
#include "win/handles.h"

class CShellExWatch final : public IShellExWatch, public IShellExecuteHookA {
public:
    // Creates or opens the hand-off events in this process and holds the library loaded.
    CShellExWatch();
    // Closes the two event handles and lets the library go.
    ~CShellExWatch();

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID, ITypeInfo** info) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID,
                                            DISPID* ids) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO* exception,
                                     UINT* badArgument) override;

    // S_FALSE lets the shell start the program; S_OK means the request was handled (blocked).
    HRESULT STDMETHODCALLTYPE Execute(LPSHELLEXECUTEINFOA request) override;

private:
    LONG references_ = 1;
    UniqueHandle in_;
    UniqueHandle out_;
    TypeInfoDispatch dispatch_{kIidShellExWatch};
};
