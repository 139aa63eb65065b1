#include "adapters_win.h"

#include <windows.h>

#include <cfgmgr32.h>

#include <vector>

#include "adapter_choice.h"
#include "win32/handles.h"

namespace {

// Every device present on the machine, of all classes, in index order.
struct DeviceSet {
    UniqueDevInfo set{
        SetupDiGetClassDevsA(nullptr, nullptr, nullptr, DIGCF_ALLCLASSES | DIGCF_PRESENT)};
    std::vector<SP_DEVINFO_DATA> devices;
    std::vector<DeviceFacts> facts;
};

// "Class" of the class key, read into 50 bytes as the class installer keeps it.
bool ReadClassValue(const GUID& classGuid, std::string* value) {
    HKEY raw = SetupDiOpenClassRegKey(&classGuid, KEY_READ);
    if (raw == nullptr || raw == reinterpret_cast<HKEY>(INVALID_HANDLE_VALUE)) return false;
    UniqueKey key(raw);
    char buffer[50] = {};
    DWORD size = sizeof buffer;
    DWORD type = 0;
    if (RegQueryValueExA(key.get(), "Class", nullptr, &type, reinterpret_cast<BYTE*>(buffer),
                         &size) != ERROR_SUCCESS)
        return false;
    value->assign(buffer, strnlen(buffer, size < sizeof buffer ? size : sizeof buffer));
    return true;
}

DeviceFacts FactsOf(const SP_DEVINFO_DATA& device) {
    DeviceFacts facts;
    const GUID& g = device.ClassGuid;
    facts.classGuid = GuidText(g.Data1, g.Data2, g.Data3, g.Data4);
    facts.devInst = device.DevInst;
    // The class key and the status matter only for network adapters.
    if (facts.classGuid != kNetClassGuid) return facts;
    facts.classValueRead = ReadClassValue(g, &facts.classValue);
    ULONG status = 0, problem = 0;
    facts.statusRead = CM_Get_DevNode_Status(&status, &problem, device.DevInst, 0) == CR_SUCCESS;
    facts.status = status;
    facts.problem = problem;
    return facts;
}

void Enumerate(DeviceSet* set) {
    if (!set->set) return;
    for (DWORD index = 0;; ++index) {
        SP_DEVINFO_DATA device = {};
        device.cbSize = sizeof device;
        if (!SetupDiEnumDeviceInfo(set->set.get(), index, &device)) break;
        set->devices.push_back(device);
        set->facts.push_back(FactsOf(device));
    }
}

void ChangeState(HDEVINFO set, SP_DEVINFO_DATA* device, bool enable) {
    SP_PROPCHANGE_PARAMS params = {};
    params.ClassInstallHeader.cbSize = sizeof(SP_CLASSINSTALL_HEADER);
    params.ClassInstallHeader.InstallFunction = DIF_PROPERTYCHANGE;
    params.StateChange = enable ? DICS_ENABLE : DICS_DISABLE;
    params.Scope = DICS_FLAG_GLOBAL;
    params.HwProfile = 0;
    if (SetupDiSetClassInstallParamsA(set, device, &params.ClassInstallHeader, sizeof params))
        SetupDiCallClassInstaller(DIF_PROPERTYCHANGE, set, device);
}

}  // namespace

bool NetworkAdapterUp() {
    DeviceSet set;
    Enumerate(&set);
    return AnyAdapterUp(set.facts);
}

void ApplyAdapterMode(int mode) {
    DeviceSet set;
    Enumerate(&set);
    const std::vector<AdapterChange> changes = ChooseAdapterChanges(set.facts, mode);
    if (changes.empty()) return;
    HCURSOR previous = SetCursor(LoadCursorA(nullptr, IDC_WAIT));
    for (const AdapterChange& change : changes)
        ChangeState(set.set.get(), &set.devices[change.device], change.enable);
    SetCursor(previous);
}
