#pragma once
// The registrar object: registers and unregisters the server's classes on request.
#include "com_server_win.h"

class CCompReg final : public IComponentRegistrar {
public:
    CCompReg();
    ~CCompReg();

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

    // S_OK: the registrar always works on this library.
    HRESULT STDMETHODCALLTYPE Attach(BSTR path) override;
    // The same as DllRegisterServer and DllUnregisterServer.
    HRESULT STDMETHODCALLTYPE RegisterAll() override;
    HRESULT STDMETHODCALLTYPE UnregisterAll() override;
    // The class identifiers and descriptions of both classes, as two arrays of strings.
    HRESULT STDMETHODCALLTYPE GetComponents(SAFEARRAY** clsids, SAFEARRAY** descriptions) override;
    // One class of this server; E_INVALIDARG for any other identifier.
    HRESULT STDMETHODCALLTYPE RegisterComponent(BSTR clsid) override;
    HRESULT STDMETHODCALLTYPE UnregisterComponent(BSTR clsid) override;

private:
    LONG references_ = 1;
    TypeInfoDispatch dispatch_{kIidComponentRegistrar};
};
