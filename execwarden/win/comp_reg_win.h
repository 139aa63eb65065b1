#pragma once
// The registrar object: registers and unregisters the server's classes on request.
#include "com_server_win.h"

class CCompReg final : public CDualObject<IComponentRegistrar> {
public:
    CCompReg() : CDualObject(kIidComponentRegistrar) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;

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
};
