// The in-process server of ExecWarden.dll: registration, the two classes, the type
// library, and the shell-execute hook's hand-off through the shared page.
#include <windows.h>

#include <objbase.h>
#include <oleauto.h>
#include <olectl.h>

#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "com_interfaces.h"
#include "monitor_host.h"
#include "shared_page.h"

namespace {

constexpr char kAppIdKey[] = "AppID\\{DF9099A5-968E-4B5B-A141-E7EC76BC812D}";
constexpr char kCompRegKey[] = "CLSID\\{5A96495D-FC65-43F4-967F-44769B31CE40}";
constexpr char kWatchKey[] = "CLSID\\{9FDE91C7-4605-4A42-B30E-923B4BCEAD69}";
constexpr char kTypeLibKey[] = "TypeLib\\{C054DCA6-1502-4BC8-BDE5-651DFA19F044}";
constexpr char kLib[] = "{C054DCA6-1502-4BC8-BDE5-651DFA19F044}";
constexpr char kWatch[] = "{9FDE91C7-4605-4A42-B30E-923B4BCEAD69}";

bool KeyExists(const std::string& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

// The string value, or "<absent>".
std::string Value(const std::string& path, const char* name) {
    char data[1024];
    DWORD size = sizeof data;
    if (RegGetValueA(HKEY_CLASSES_ROOT, path.c_str(), name, RRF_RT_REG_SZ, nullptr, data, &size) !=
        ERROR_SUCCESS)
        return "<absent>";
    return data;
}

// Every key the server owns, for the "all gone" checks.
const char* const kOwnedKeys[] = {
    kAppIdKey,  "AppID\\ExecWarden.DLL",   kCompRegKey,
    kWatchKey,  "ExecWarden.ShellExWatch", "ExecWarden.ShellExWatch.1",
    kTypeLibKey};

void ExpectRegistered(const std::string& module) {
    struct Expected {
        std::string key;
        const char* name;
        std::string value;
    } const expected[] = {
        {kAppIdKey, nullptr, "ExecWarden"},
        {"AppID\\ExecWarden.DLL", "AppID", "{DF9099A5-968E-4B5B-A141-E7EC76BC812D}"},
        {kCompRegKey, nullptr, "CompReg Class"},
        {std::string(kCompRegKey) + "\\InprocServer32", nullptr, module},
        {std::string(kCompRegKey) + "\\InprocServer32", "ThreadingModel", "Apartment"},
        {std::string(kCompRegKey) + "\\TypeLib", nullptr, kLib},
        {"ExecWarden.ShellExWatch.1", nullptr, "ShellExWatch Class"},
        {"ExecWarden.ShellExWatch.1\\CLSID", nullptr, kWatch},
        {"ExecWarden.ShellExWatch", nullptr, "ShellExWatch Class"},
        {"ExecWarden.ShellExWatch\\CLSID", nullptr, kWatch},
        {"ExecWarden.ShellExWatch\\CurVer", nullptr, "ExecWarden.ShellExWatch.1"},
        {kWatchKey, nullptr, "ShellExWatch Class"},
        {kWatchKey, "AppID", "{DF9099A5-968E-4B5B-A141-E7EC76BC812D}"},
        {std::string(kWatchKey) + "\\ProgID", nullptr, "ExecWarden.ShellExWatch.1"},
        {std::string(kWatchKey) + "\\VersionIndependentProgID", nullptr, "ExecWarden.ShellExWatch"},
        {std::string(kWatchKey) + "\\InprocServer32", nullptr, module},
        {std::string(kWatchKey) + "\\InprocServer32", "ThreadingModel", "Both"},
        {std::string(kWatchKey) + "\\TypeLib", nullptr, kLib},
    };
    for (const Expected& e : expected)
        EXPECT_EQ(e.value, Value(e.key, e.name)) << e.key << " " << (e.name ? e.name : "@");
    EXPECT_TRUE(KeyExists(std::string(kWatchKey) + "\\Programmable"));
    EXPECT_TRUE(KeyExists(std::string(kTypeLibKey) + "\\1.0"));
}

void ExpectUnregistered() {
    for (const char* key : kOwnedKeys) EXPECT_FALSE(KeyExists(key)) << key;
    EXPECT_TRUE(KeyExists("AppID"));
    EXPECT_TRUE(KeyExists("CLSID"));
}

DWORD RunRegsvr32(const std::string& arguments) {
    return RunToEnd("regsvr32.exe /s " + arguments, 60000);
}

std::wstring Wide(const std::string& text) {
    return std::wstring(text.begin(), text.end());
}

class ComServerTest : public ::testing::Test {
protected:
    using Entry = HRESULT(WINAPI*)();
    using GetClassObject = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);

    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
        module_ = LoadLibraryA(kvtest::BesideProgram("ExecWarden.dll").c_str());
        ASSERT_NE(nullptr, module_);
        char path[MAX_PATH];
        path_.assign(path, GetModuleFileNameA(module_, path, MAX_PATH));
        register_ = ProcAddress<Entry>(module_, "DllRegisterServer");
        unregister_ = ProcAddress<Entry>(module_, "DllUnregisterServer");
        canUnload_ = ProcAddress<Entry>(module_, "DllCanUnloadNow");
        getClassObject_ = ProcAddress<GetClassObject>(module_, "DllGetClassObject");
        ASSERT_TRUE(register_ && unregister_ && canUnload_ && getClassObject_);
        shared_ = FindSharedSection(module_);
        ASSERT_NE(nullptr, shared_);
    }
    void TearDown() override {
        if (unregister_ != nullptr) unregister_();
        CoUninitialize();
        if (module_ != nullptr) FreeLibrary(module_);
    }
    IClassFactory* Factory(REFCLSID clsid) {
        IClassFactory* factory = nullptr;
        EXPECT_EQ(S_OK,
                  getClassObject_(clsid, IID_IClassFactory, reinterpret_cast<void**>(&factory)));
        return factory;
    }
    template <class Interface>
    Interface* Create(REFCLSID clsid, REFIID iid) {
        IClassFactory* factory = Factory(clsid);
        if (factory == nullptr) return nullptr;
        Interface* object = nullptr;
        EXPECT_EQ(S_OK, factory->CreateInstance(nullptr, iid, reinterpret_cast<void**>(&object)));
        factory->Release();
        return object;
    }

    HMODULE module_ = nullptr;
    std::string path_;
    Entry register_ = nullptr, unregister_ = nullptr, canUnload_ = nullptr;
    GetClassObject getClassObject_ = nullptr;
    SharedSection* shared_ = nullptr;
};

TEST_F(ComServerTest, RegistersEveryKeyAndRemovesItAgain) {
    ASSERT_EQ(0u, RunRegsvr32("\"" + path_ + "\""));
    ExpectRegistered(path_);
    ASSERT_EQ(0u, RunRegsvr32("/u \"" + path_ + "\""));
    ExpectUnregistered();

    // Keys that are gone already count as removed.
    EXPECT_EQ(S_OK, unregister_());
    // Class keys are written anew: a stale subkey does not survive registration.
    HKEY stale = nullptr;
    ASSERT_EQ(ERROR_SUCCESS,
              RegCreateKeyExA(HKEY_CLASSES_ROOT, (std::string(kWatchKey) + "\\Stale").c_str(), 0,
                              nullptr, 0, KEY_WRITE, nullptr, &stale, nullptr));
    RegCloseKey(stale);
    EXPECT_EQ(S_OK, register_());
    ExpectRegistered(path_);
    EXPECT_FALSE(KeyExists(std::string(kWatchKey) + "\\Stale"));
    EXPECT_EQ(S_OK, unregister_());
    ExpectUnregistered();
}

TEST_F(ComServerTest, BothClassesAreCreatableAndRefuseAggregation) {
    ASSERT_EQ(S_OK, register_());
    EXPECT_EQ(S_OK, canUnload_());
    IShellExecuteHookA* hook = nullptr;
    ASSERT_EQ(S_OK, CoCreateInstance(kClsidShellExWatch, nullptr, CLSCTX_INPROC_SERVER,
                                     kIidShellExecuteHookA, reinterpret_cast<void**>(&hook)));
    IComponentRegistrar* registrar = nullptr;
    ASSERT_EQ(S_OK, CoCreateInstance(kClsidCompReg, nullptr, CLSCTX_INPROC_SERVER,
                                     kIidComponentRegistrar, reinterpret_cast<void**>(&registrar)));
    EXPECT_EQ(S_FALSE, canUnload_());
    IDispatch* dispatch = nullptr;
    EXPECT_EQ(S_OK, hook->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch)));
    IUnknown* watch = nullptr;
    EXPECT_EQ(S_OK, dispatch->QueryInterface(kIidShellExWatch, reinterpret_cast<void**>(&watch)));
    UINT count = 0;
    EXPECT_EQ(S_OK, dispatch->GetTypeInfoCount(&count));
    EXPECT_EQ(1u, count);
    for (IUnknown* object : std::initializer_list<IUnknown*>{watch, dispatch, registrar, hook})
        object->Release();
    EXPECT_EQ(S_OK, canUnload_());

    // Never called: aggregation is refused before the outer object is used.
    int dummy = 0;
    IUnknown* outer = reinterpret_cast<IUnknown*>(&dummy);
    for (const CLSID* clsid : {&kClsidShellExWatch, &kClsidCompReg}) {
        IClassFactory* factory = Factory(*clsid);
        ASSERT_NE(nullptr, factory);
        void* object = reinterpret_cast<void*>(1);
        EXPECT_EQ(CLASS_E_NOAGGREGATION, factory->CreateInstance(outer, IID_IUnknown, &object));
        EXPECT_EQ(nullptr, object);
        EXPECT_EQ(S_FALSE, canUnload_());  // a live factory keeps the server, as a lock does
        factory->LockServer(TRUE);
        EXPECT_EQ(S_FALSE, canUnload_());
        factory->LockServer(FALSE);
        factory->Release();
    }
    void* none = nullptr;
    EXPECT_EQ(CLASS_E_CLASSNOTAVAILABLE, getClassObject_(IID_IUnknown, IID_IClassFactory, &none));
    EXPECT_EQ(S_OK, canUnload_());
}

TEST_F(ComServerTest, TypeLibraryPutsTheRegistrarSlotsAfterIDispatch) {
    ITypeLib* library = nullptr;
    ASSERT_EQ(S_OK, LoadTypeLibEx(Wide(path_).c_str(), REGKIND_NONE, &library));
    TLIBATTR* attributes = nullptr;
    ASSERT_EQ(S_OK, library->GetLibAttr(&attributes));
    EXPECT_TRUE(IsEqualGUID(kLibidExecWarden, attributes->guid));
    EXPECT_EQ(1, attributes->wMajorVerNum);
    EXPECT_EQ(0, attributes->wMinorVerNum);
    library->ReleaseTLibAttr(attributes);

    ITypeInfo* dual = nullptr;
    ASSERT_EQ(S_OK, library->GetTypeInfoOfGuid(kIidComponentRegistrar, &dual));
    HREFTYPE vtableHalf = 0;
    ASSERT_EQ(S_OK, dual->GetRefTypeOfImplType(-1, &vtableHalf));
    ITypeInfo* info = nullptr;
    ASSERT_EQ(S_OK, dual->GetRefTypeInfo(vtableHalf, &info));
    const wchar_t* const names[] = {L"Attach",        L"RegisterAll",       L"UnregisterAll",
                                    L"GetComponents", L"RegisterComponent", L"UnregisterComponent"};
    TYPEATTR* type = nullptr;
    ASSERT_EQ(S_OK, info->GetTypeAttr(&type));
    EXPECT_EQ(TKIND_INTERFACE, type->typekind);
    ASSERT_EQ(6, type->cFuncs);
    info->ReleaseTypeAttr(type);
    for (UINT i = 0; i < 6; ++i) {
        FUNCDESC* function = nullptr;
        ASSERT_EQ(S_OK, info->GetFuncDesc(i, &function));
        BSTR name = nullptr;
        UINT got = 0;
        info->GetNames(function->memid, &name, 1, &got);
        EXPECT_STREQ(names[i], name);
        EXPECT_EQ(static_cast<SHORT>(28 + 4 * i), function->oVft) << i;
        SysFreeString(name);
        info->ReleaseFuncDesc(function);
    }
    info->Release();
    dual->Release();

    for (const GUID* coclass : {&kClsidCompReg, &kClsidShellExWatch}) {
        ITypeInfo* described = nullptr;
        ASSERT_EQ(S_OK, library->GetTypeInfoOfGuid(*coclass, &described));
        described->Release();
    }
    library->Release();
}

TEST_F(ComServerTest, RegistrarWorksThroughItsSlotsAndThroughIDispatch) {
    IComponentRegistrar* registrar =
        Create<IComponentRegistrar>(kClsidCompReg, kIidComponentRegistrar);
    ASSERT_NE(nullptr, registrar);
    BSTR path = SysAllocString(Wide(path_).c_str());
    EXPECT_EQ(S_OK, registrar->Attach(path));
    SysFreeString(path);

    for (const wchar_t* method : {L"RegisterAll", L"UnregisterAll"}) {
        DISPID id = 0;
        LPOLESTR name = const_cast<LPOLESTR>(method);
        ASSERT_EQ(S_OK, registrar->GetIDsOfNames(IID_NULL, &name, 1, 0, &id));
        DISPPARAMS none{};
        VARIANT result;
        VariantInit(&result);
        EXPECT_EQ(S_OK, registrar->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &none, &result, nullptr,
                                          nullptr));
        if (method[0] == L'R')
            ExpectRegistered(path_);
        else
            ExpectUnregistered();
    }

    SAFEARRAY* clsids = nullptr;
    SAFEARRAY* descriptions = nullptr;
    ASSERT_EQ(S_OK, registrar->GetComponents(&clsids, &descriptions));
    const wchar_t* const expected[2][2] = {
        {L"{5A96495D-FC65-43F4-967F-44769B31CE40}", L"CompReg Class"},
        {L"{9FDE91C7-4605-4A42-B30E-923B4BCEAD69}", L"ShellExWatch Class"}};
    for (LONG i = 0; i < 2; ++i) {
        BSTR clsid = nullptr, description = nullptr;
        ASSERT_EQ(S_OK, SafeArrayGetElement(clsids, &i, &clsid));
        ASSERT_EQ(S_OK, SafeArrayGetElement(descriptions, &i, &description));
        EXPECT_STREQ(expected[i][0], clsid);
        EXPECT_STREQ(expected[i][1], description);
        SysFreeString(clsid);
        SysFreeString(description);
    }
    LONG upper = 0;
    SafeArrayGetUBound(clsids, 1, &upper);
    EXPECT_EQ(1, upper);
    SafeArrayDestroy(clsids);
    SafeArrayDestroy(descriptions);

    struct Case {
        const wchar_t* clsid;
        HRESULT registered;
        bool watchKeys, compRegKeys;
    } cases[] = {
        {L"{9fde91c7-4605-4a42-b30e-923b4bcead69}", S_OK, true, false},
        {L"{5A96495D-FC65-43F4-967F-44769B31CE40}", S_OK, false, true},
        {L"{00000000-0000-0000-0000-000000000001}", E_INVALIDARG, false, false},
        {L"not a class", E_INVALIDARG, false, false},
    };
    for (const Case& c : cases) {
        BSTR clsid = SysAllocString(c.clsid);
        EXPECT_EQ(c.registered, registrar->RegisterComponent(clsid));
        EXPECT_EQ(c.watchKeys, KeyExists(kWatchKey));
        EXPECT_EQ(c.watchKeys, KeyExists("ExecWarden.ShellExWatch"));
        EXPECT_EQ(c.compRegKeys, KeyExists(kCompRegKey));
        EXPECT_FALSE(KeyExists(kAppIdKey));
        EXPECT_EQ(c.registered, registrar->UnregisterComponent(clsid));
        ExpectUnregistered();
        SysFreeString(clsid);
    }
    registrar->Release();
}

// The other side of the hand-off, as a monitor would run it: answers each request with
// the next verdict and keeps what it was handed.
class HandOffMonitor {
public:
    HandOffMonitor(SharedSection* shared, std::vector<BYTE> verdicts)
        : shared_(shared), verdicts_(std::move(verdicts)) {
        in_.reset(OpenEventA(EVENT_ALL_ACCESS, FALSE, "Kavro ShellExecute Moniter 1.0.0.0 in"));
        out_.reset(OpenEventA(EVENT_ALL_ACCESS, FALSE, "Kavro ShellExecute Moniter 1.0.0.0 out"));
        thread_ = std::thread([this] { Run(); });
    }
    ~HandOffMonitor() { thread_.join(); }

    struct Request {
        std::string verb, file, parameters, directory;
    };
    std::vector<Request> requests;

private:
    void Run() {
        for (BYTE verdict : verdicts_) {
            if (WaitForSingleObject(in_.get(), 10000) != WAIT_OBJECT_0) return;
            requests.push_back(
                {shared_->verb, shared_->file, shared_->parameters, shared_->directory});
            shared_->verdict = verdict;
            SetEvent(out_.get());
        }
    }

    SharedSection* shared_;
    std::vector<BYTE> verdicts_;
    UniqueHandle in_, out_;
    std::thread thread_;
};

TEST_F(ComServerTest, HookHandsRequestsOverOnlyWhileEnabled) {
    IShellExecuteHookA* hook =
        Create<IShellExecuteHookA>(kClsidShellExWatch, kIidShellExecuteHookA);
    ASSERT_NE(nullptr, hook);
    SHELLEXECUTEINFOA request{};
    request.cbSize = sizeof request;
    request.lpVerb = "open";
    request.lpFile = "C:\\x.exe";

    // Disabled: every request passes and the shared strings stay untouched.
    char* strings = reinterpret_cast<char*>(shared_) + offsetof(SharedSection, verb);
    std::memset(strings, 'S', 4 * kHookStringSize);
    shared_->handOffEnabled = 0;
    EXPECT_EQ(S_FALSE, hook->Execute(&request));
    EXPECT_EQ(S_FALSE, hook->Execute(nullptr));
    for (std::size_t i = 0; i < 4 * kHookStringSize; ++i) ASSERT_EQ('S', strings[i]) << i;

    const std::string longFile(300, 'f');
    struct Case {
        const char *verb, *file, *parameters, *directory;
        BYTE verdict;
        HRESULT result;
        const char* handedVerb;
        std::string handedFile;
    } cases[] = {
        {"open", "C:\\x.exe", "-a", "C:\\", 0, S_OK, "open", "C:\\x.exe"},
        {"open", "C:\\x.exe", "-a", "C:\\", 7, S_FALSE, "open", "C:\\x.exe"},
        {nullptr, longFile.c_str(), nullptr, nullptr, 1, S_FALSE, "", longFile.substr(0, 263)},
    };
    shared_->handOffEnabled = 1;
    {
        HandOffMonitor monitor(shared_, {0, 7, 1});
        for (const Case& c : cases) {
            request.lpVerb = c.verb;
            request.lpFile = c.file;
            request.lpParameters = c.parameters;
            request.lpDirectory = c.directory;
            EXPECT_EQ(c.result, hook->Execute(&request)) << int(c.verdict);
        }
        EXPECT_EQ(S_FALSE, hook->Execute(nullptr));  // nothing handed over
        // Each Execute returned after the monitor's answer, so all three requests are in.
        ASSERT_EQ(3u, monitor.requests.size());
        for (std::size_t i = 0; i < 3; ++i) {
            const Case& c = cases[i];
            EXPECT_EQ(c.handedVerb, monitor.requests[i].verb) << i;
            EXPECT_EQ(c.handedFile, monitor.requests[i].file) << i;
            EXPECT_EQ(c.parameters ? c.parameters : "", monitor.requests[i].parameters) << i;
            EXPECT_EQ(c.directory ? c.directory : "", monitor.requests[i].directory) << i;
        }
    }
    // A request is read only as far as its size says: one that ends before its directory,
    // placed where the bytes after its end cannot be read, is let through (the "out" event
    // is set and the verdict is "block", so a hook that handed it over would answer S_OK).
    shared_->verdict = 0;
    auto* pages = static_cast<BYTE*>(
        VirtualAlloc(nullptr, 2 * 4096, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    DWORD old = 0;
    ASSERT_TRUE(VirtualProtect(pages + 4096, 4096, PAGE_NOACCESS, &old));
    UniqueHandle out(OpenEventA(EVENT_ALL_ACCESS, FALSE, "Kavro ShellExecute Moniter 1.0.0.0 out"));
    // One that ends right after its directory is read whole and handed over.
    const DWORD whole = offsetof(SHELLEXECUTEINFOA, lpDirectory) + sizeof(LPCSTR);
    for (DWORD size : {DWORD{4}, whole - 1, whole}) {
        auto* cut = reinterpret_cast<SHELLEXECUTEINFOA*>(pages + 4096 - size);
        std::memcpy(cut, &request, size);
        cut->cbSize = size;
        SetEvent(out.get());
        EXPECT_EQ(size == whole ? S_OK : S_FALSE, hook->Execute(cut)) << size;
        ResetEvent(out.get());
    }
    ResetEvent(UniqueHandle(OpenEventA(EVENT_ALL_ACCESS, FALSE, kHandOffInEventName)).get());
    VirtualFree(pages, 0, MEM_RELEASE);
    shared_->handOffEnabled = 0;
    hook->Release();
}

// The page is one for every process that maps the library: a peer process sees what this
// one wrote, and this one sees the peer's answer.
TEST_F(ComServerTest, SharedPageIsSharedWithAnotherProcess) {
    auto factory = ProcAddress<int(__cdecl*)(IComponent**, IKavroComponentManager*)>(
        module_, "GetKavroComponentPtr");
    IComponent* component = nullptr;
    ASSERT_EQ(1, factory(&component, nullptr));
    // The component publishes this process's hand-off events.
    const std::uint32_t in = Peek(shared_->inEvent);
    EXPECT_NE(0u, in);
    EXPECT_NE(0u, Peek(shared_->outEvent));
    CopyHookString(shared_->parameters, "from the parent");
    CopyHookString(shared_->directory, nullptr);

    EXPECT_EQ(0u, RunToEnd("\"" + kvtest::BesideProgram("execwarden_shared_peer.exe") + "\""));
    EXPECT_EQ("seen: from the parent " + std::to_string(in), std::string(shared_->directory));
}

}  // namespace
