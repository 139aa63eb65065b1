#include "shell_ex_watch_win.h"

#include "library_win.h"
#include "shared_section.h"

CShellExWatch::CShellExWatch()
    : in_(CreateEventA(nullptr, FALSE, FALSE, "Kavro ShellExecute Moniter 1.0.0.0 in")),
      out_(CreateEventA(nullptr, FALSE, FALSE, "Kavro ShellExecute Moniter 1.0.0.0 out")) {
    AddServerReference();
}

CShellExWatch::~CShellExWatch() {
    ReleaseServerReference();
}

HRESULT CShellExWatch::QueryInterface(REFIID iid, void** object) {
    if (object == nullptr) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) ||
        IsEqualIID(iid, kIidShellExWatch)) {
        *object = static_cast<IShellExWatch*>(this);
    } else if (IsEqualIID(iid, kIidShellExecuteHookA)) {
        *object = static_cast<IShellExecuteHookA*>(this);
    } else {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

ULONG CShellExWatch::AddRef() {
    return InterlockedIncrement(&references_);
}

ULONG CShellExWatch::Release() {
    LONG left = InterlockedDecrement(&references_);
    if (left == 0) delete this;
    return left;
}

HRESULT CShellExWatch::GetTypeInfoCount(UINT* count) {
    return dispatch_.GetTypeInfoCount(count);
}

HRESULT CShellExWatch::GetTypeInfo(UINT index, LCID, ITypeInfo** info) {
    return dispatch_.GetTypeInfo(index, info);
}

HRESULT CShellExWatch::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
    return dispatch_.GetIDsOfNames(names, count, ids);
}

HRESULT CShellExWatch::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                              VARIANT* result, EXCEPINFO* exception, UINT* badArgument) {
    return dispatch_.Invoke(static_cast<IShellExWatch*>(this), id, flags, params, result, exception,
                            badArgument);
}

HRESULT CShellExWatch::Execute(LPSHELLEXECUTEINFOA request) {
    SharedSection& shared = TheSharedSection();
    if (ReadShared(shared.handOffEnabled) == 0) return S_FALSE;
    // Without a request or without the events there is nothing to hand over: let it pass.
    if (request == nullptr || !in_ || !out_) return S_FALSE;
    CopyHookString(shared.verb, request->lpVerb);
    CopyHookString(shared.file, request->lpFile);
    CopyHookString(shared.parameters, request->lpParameters);
    CopyHookString(shared.directory, request->lpDirectory);
    SetEvent(in_.get());
    if (WaitForSingleObject(out_.get(), INFINITE) != WAIT_OBJECT_0) return S_FALSE;
    return ReadShared(shared.verdict) != 0 ? S_FALSE : S_OK;
}
