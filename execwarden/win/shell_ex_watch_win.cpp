#include "shell_ex_watch_win.h"

#include <cstddef>

#include "library_win.h"
#include "shared_section.h"

namespace {

// The request's members up to its directory, the last one handed over: a request whose
// size does not cover them is not read (its caller's structure may end before them).
constexpr DWORD kRequestSizeRead =
    offsetof(SHELLEXECUTEINFOA, lpDirectory) + sizeof(SHELLEXECUTEINFOA::lpDirectory);

}  // namespace

CShellExWatch::CShellExWatch()
    : CDualObject(kIidShellExWatch),
      in_(CreateEventA(nullptr, FALSE, FALSE, kHandOffInEventName)),
      out_(CreateEventA(nullptr, FALSE, FALSE, kHandOffOutEventName)) {}

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

HRESULT CShellExWatch::Execute(LPSHELLEXECUTEINFOA request) {
    SharedSection& shared = TheSharedSection();
    if (ReadShared(shared.handOffEnabled) == 0) return S_FALSE;
    // Without a request or without the events there is nothing to hand over: let it pass.
    if (request == nullptr || request->cbSize < kRequestSizeRead || !in_ || !out_) return S_FALSE;
    CopyHookString(shared.verb, request->lpVerb);
    CopyHookString(shared.file, request->lpFile);
    CopyHookString(shared.parameters, request->lpParameters);
    CopyHookString(shared.directory, request->lpDirectory);
    SetEvent(in_.get());
    if (WaitForSingleObject(out_.get(), INFINITE) != WAIT_OBJECT_0) return S_FALSE;
    return ReadShared(shared.verdict) != 0 ? S_FALSE : S_OK;
}
