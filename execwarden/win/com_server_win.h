#pragma once
// The in-process server's bookkeeping: live objects and locks, the class factory and
// IDispatch served from the library's own type library.
#include "com_interfaces.h"

// Every live object and every LockServer(TRUE) holds the library loaded.
void AddServerReference();
void ReleaseServerReference();
bool ServerInUse();

// Creates the object of `clsid` and asks it for `iid`; CLASS_E_CLASSNOTAVAILABLE for
// classes of other servers.
HRESULT GetServerClassObject(REFCLSID clsid, REFIID iid, void** object);

// The IDispatch half of a dual interface, answered from the type information of `iid` in
// the library's embedded type library (loaded on first use).
class TypeInfoDispatch {
public:
    explicit TypeInfoDispatch(REFIID iid) : iid_(iid) {}
    ~TypeInfoDispatch();
    TypeInfoDispatch(const TypeInfoDispatch&) = delete;
    TypeInfoDispatch& operator=(const TypeInfoDispatch&) = delete;

    HRESULT GetTypeInfoCount(UINT* count);
    HRESULT GetTypeInfo(UINT index, ITypeInfo** info);
    HRESULT GetIDsOfNames(LPOLESTR* names, UINT count, DISPID* ids);
    HRESULT Invoke(void* object, DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result,
                   EXCEPINFO* exception, UINT* badArgument);

private:
    ITypeInfo* Info();

    IID iid_;
    ITypeInfo* info_ = nullptr;
};

// The library's type library, loaded from its own resource; null on failure.
ITypeLib* LoadServerTypeLib();

// The common part of the server's objects: a reference count that holds the library
// loaded while the object lives, and the IDispatch half of the dual interface `Dual`.
template <class Dual>
class CDualObject : public Dual {
public:
    explicit CDualObject(REFIID dual) : dispatch_(dual) { AddServerReference(); }
    virtual ~CDualObject() { ReleaseServerReference(); }
    CDualObject(const CDualObject&) = delete;
    CDualObject& operator=(const CDualObject&) = delete;

    ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&references_); }
    ULONG STDMETHODCALLTYPE Release() override {
        LONG left = InterlockedDecrement(&references_);
        if (left == 0) delete this;
        return left;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        return dispatch_.GetTypeInfoCount(count);
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID, ITypeInfo** info) override {
        return dispatch_.GetTypeInfo(index, info);
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID,
                                            DISPID* ids) override {
        return dispatch_.GetIDsOfNames(names, count, ids);
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO* exception,
                                     UINT* badArgument) override {
        return dispatch_.Invoke(static_cast<Dual*>(this), id, flags, params, result, exception,
                                badArgument);
    }

private:
    LONG references_ = 1;
    TypeInfoDispatch dispatch_;
};
