#pragma once
// The COM interfaces and identifiers of the library's in-process server. The type library
// (execwarden.idl) describes the same interfaces for IDispatch callers.
#include <oaidl.h>
#include <windows.h>
// shellapi.h first: shlobj.h declares the hook interface only after it.
#include <shellapi.h>
#include <shlobj.h>

extern const CLSID kClsidCompReg;         // {5A96495D-FC65-43F4-967F-44769B31CE40}
extern const CLSID kClsidShellExWatch;    // {9FDE91C7-4605-4A42-B30E-923B4BCEAD69}
extern const IID kIidShellExWatch;        // {F8E3646A-6D11-46AD-A82F-66B3487009AD}
extern const IID kIidComponentRegistrar;  // {A817E7A2-43FA-11D0-9E44-00AA00B6770A}
extern const IID kIidShellExecuteHookA;   // {000214F5-0000-0000-C000-000000000046}
extern const GUID kLibidExecWarden;       // {C054DCA6-1502-4BC8-BDE5-651DFA19F044}

// The hook object's own interface: dual, with no methods beyond IDispatch.
struct IShellExWatch : public IDispatch {};

// The registrar's interface, dual, slots after IDispatch's in this order.
struct IComponentRegistrar : public IDispatch {
    virtual HRESULT STDMETHODCALLTYPE Attach(BSTR path) = 0;
    virtual HRESULT STDMETHODCALLTYPE RegisterAll() = 0;
    virtual HRESULT STDMETHODCALLTYPE UnregisterAll() = 0;
    virtual HRESULT STDMETHODCALLTYPE GetComponents(SAFEARRAY** clsids,
                                                    SAFEARRAY** descriptions) = 0;
    virtual HRESULT STDMETHODCALLTYPE RegisterComponent(BSTR clsid) = 0;
    virtual HRESULT STDMETHODCALLTYPE UnregisterComponent(BSTR clsid) = 0;
};
