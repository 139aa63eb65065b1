#include "com_server_win.h"

#include <new>
#include <string>

#include "comp_reg_win.h"
#include "shell_ex_watch_win.h"
#include "win32/paths.h"

namespace {

LONG g_serverReferences = 0;

using Creator = HRESULT (*)(REFIID iid, void** object);

template <class Object>
HRESULT CreateObject(REFIID iid, void** object) {
    Object* created = new (std::nothrow) Object;
    if (created == nullptr) return E_OUTOFMEMORY;
    // The object starts with one reference; the query adds the caller's.
    HRESULT result = created->QueryInterface(iid, object);
    created->Release();
    return result;
}

class CClassFactory final : public IClassFactory {
public:
    explicit CClassFactory(Creator create) : create_(create) { AddServerReference(); }
    ~CClassFactory() { ReleaseServerReference(); }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (object == nullptr) return E_POINTER;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory)) {
            *object = static_cast<IClassFactory*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&references_); }
    ULONG STDMETHODCALLTYPE Release() override {
        LONG left = InterlockedDecrement(&references_);
        if (left == 0) delete this;
        return left;
    }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** object) override {
        if (object == nullptr) return E_POINTER;
        *object = nullptr;
        if (outer != nullptr) return CLASS_E_NOAGGREGATION;
        return create_(iid, object);
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
        if (lock)
            AddServerReference();
        else
            ReleaseServerReference();
        return S_OK;
    }

private:
    Creator create_;
    LONG references_ = 1;
};

}  // namespace

void AddServerReference() {
    InterlockedIncrement(&g_serverReferences);
}

void ReleaseServerReference() {
    InterlockedDecrement(&g_serverReferences);
}

bool ServerInUse() {
    return InterlockedCompareExchange(&g_serverReferences, 0, 0) != 0;
}

HRESULT GetServerClassObject(REFCLSID clsid, REFIID iid, void** object) {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    Creator create = nullptr;
    if (IsEqualCLSID(clsid, kClsidShellExWatch))
        create = CreateObject<CShellExWatch>;
    else if (IsEqualCLSID(clsid, kClsidCompReg))
        create = CreateObject<CCompReg>;
    else
        return CLASS_E_CLASSNOTAVAILABLE;
    CClassFactory* factory = new (std::nothrow) CClassFactory(create);
    if (factory == nullptr) return E_OUTOFMEMORY;
    HRESULT result = factory->QueryInterface(iid, object);
    factory->Release();
    return result;
}

ITypeLib* LoadServerTypeLib() {
    wchar_t path[MAX_PATH];
    DWORD length = GetModuleFileNameW(kvwin::ThisModule(), path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return nullptr;
    ITypeLib* library = nullptr;
    return SUCCEEDED(LoadTypeLibEx(path, REGKIND_NONE, &library)) ? library : nullptr;
}

TypeInfoDispatch::~TypeInfoDispatch() {
    if (info_ != nullptr) info_->Release();
}

ITypeInfo* TypeInfoDispatch::Info() {
    // A hook object with the "Both" threading model may be asked from two threads at once:
    // the first to publish its type information wins.
    auto* known = static_cast<ITypeInfo*>(
        InterlockedCompareExchangePointer(reinterpret_cast<void**>(&info_), nullptr, nullptr));
    if (known != nullptr) return known;
    ITypeLib* library = LoadServerTypeLib();
    if (library == nullptr) return nullptr;
    ITypeInfo* loaded = nullptr;
    library->GetTypeInfoOfGuid(iid_, &loaded);
    library->Release();
    if (loaded == nullptr) return nullptr;
    known = static_cast<ITypeInfo*>(
        InterlockedCompareExchangePointer(reinterpret_cast<void**>(&info_), loaded, nullptr));
    if (known == nullptr) return loaded;
    loaded->Release();
    return known;
}

HRESULT TypeInfoDispatch::GetTypeInfoCount(UINT* count) {
    if (count == nullptr) return E_POINTER;
    *count = Info() != nullptr ? 1 : 0;
    return S_OK;
}

HRESULT TypeInfoDispatch::GetTypeInfo(UINT index, ITypeInfo** info) {
    if (info == nullptr) return E_POINTER;
    *info = nullptr;
    if (index != 0) return DISP_E_BADINDEX;
    ITypeInfo* mine = Info();
    if (mine == nullptr) return TYPE_E_CANTLOADLIBRARY;
    mine->AddRef();
    *info = mine;
    return S_OK;
}

HRESULT TypeInfoDispatch::GetIDsOfNames(LPOLESTR* names, UINT count, DISPID* ids) {
    ITypeInfo* mine = Info();
    if (mine == nullptr) return TYPE_E_CANTLOADLIBRARY;
    return DispGetIDsOfNames(mine, names, count, ids);
}

HRESULT TypeInfoDispatch::Invoke(void* object, DISPID id, WORD flags, DISPPARAMS* params,
                                 VARIANT* result, EXCEPINFO* exception, UINT* badArgument) {
    ITypeInfo* mine = Info();
    if (mine == nullptr) return TYPE_E_CANTLOADLIBRARY;
    return DispInvoke(object, mine, id, flags, params, result, exception, badArgument);
}
