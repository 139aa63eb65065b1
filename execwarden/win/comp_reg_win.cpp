#include "comp_reg_win.h"

#include <iterator>

#include "registration_win.h"

namespace {

struct ServerClass {
    const CLSID* clsid;
    const char* clsidText;
    const char* description;
    const RegistryScript* script;
};

const ServerClass kClasses[] = {
    {&kClsidCompReg, kCompRegClsid, kCompRegDescription, &kCompRegScript},
    {&kClsidShellExWatch, kShellExWatchClsid, kShellExWatchDescription, &kShellExWatchScript},
};

const ServerClass* FindClass(BSTR text) {
    CLSID clsid;
    if (text == nullptr || FAILED(CLSIDFromString(text, &clsid))) return nullptr;
    for (const ServerClass& known : kClasses)
        if (IsEqualCLSID(clsid, *known.clsid)) return &known;
    return nullptr;
}

// A one-dimensional array of the given texts, null when it cannot be made.
SAFEARRAY* StringArray(const char* ServerClass::*field) {
    SAFEARRAY* array = SafeArrayCreateVector(VT_BSTR, 0, std::size(kClasses));
    if (array == nullptr) return nullptr;
    for (LONG i = 0; i < static_cast<LONG>(std::size(kClasses)); ++i) {
        const char* text = kClasses[i].*field;
        wchar_t wide[64];
        int length = MultiByteToWideChar(CP_ACP, 0, text, -1, wide, std::size(wide));
        BSTR string = length > 0 ? SysAllocString(wide) : nullptr;
        // SafeArrayPutElement stores a copy of the string.
        HRESULT put = string != nullptr ? SafeArrayPutElement(array, &i, string) : E_OUTOFMEMORY;
        SysFreeString(string);
        if (FAILED(put)) {
            SafeArrayDestroy(array);
            return nullptr;
        }
    }
    return array;
}

}  // namespace

HRESULT CCompReg::QueryInterface(REFIID iid, void** object) {
    if (object == nullptr) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) ||
        IsEqualIID(iid, kIidComponentRegistrar)) {
        *object = static_cast<IComponentRegistrar*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

HRESULT CCompReg::Attach(BSTR) {
    return S_OK;
}

HRESULT CCompReg::RegisterAll() {
    return RegisterServer();
}

HRESULT CCompReg::UnregisterAll() {
    return UnregisterServer();
}

HRESULT CCompReg::GetComponents(SAFEARRAY** clsids, SAFEARRAY** descriptions) {
    if (clsids == nullptr || descriptions == nullptr) return E_POINTER;
    *clsids = StringArray(&ServerClass::clsidText);
    *descriptions = StringArray(&ServerClass::description);
    if (*clsids != nullptr && *descriptions != nullptr) return S_OK;
    if (*clsids != nullptr) SafeArrayDestroy(*clsids);
    if (*descriptions != nullptr) SafeArrayDestroy(*descriptions);
    *clsids = *descriptions = nullptr;
    return E_OUTOFMEMORY;
}

HRESULT CCompReg::RegisterComponent(BSTR clsid) {
    const ServerClass* known = FindClass(clsid);
    return known != nullptr ? RegisterClassScript(*known->script) : E_INVALIDARG;
}

HRESULT CCompReg::UnregisterComponent(BSTR clsid) {
    const ServerClass* known = FindClass(clsid);
    return known != nullptr ? UnregisterClassScript(*known->script) : E_INVALIDARG;
}
