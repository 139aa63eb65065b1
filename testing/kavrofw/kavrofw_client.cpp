#include "kavrofw_client.h"

#include "kernel_services_win.h"

namespace kavrofw {

using kvtest::CreateDriverService;
using kvtest::RemoveService;
using kvtest::ServiceExists;

namespace {

bool CopyInto(const std::string& from, const std::string& to, std::string* error) {
    if (CopyFileA(from.c_str(), to.c_str(), FALSE)) return true;
    *error = "copying " + from + " to " + to + " failed, error " + std::to_string(GetLastError());
    return false;
}

bool DeleteIfPresent(const std::string& path, std::string* error) {
    if (DeleteFileA(path.c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND) return true;
    *error += "deleting " + path + " failed, error " + std::to_string(GetLastError()) + "; ";
    return false;
}

}  // namespace

std::string DriversFolder() {
    char system[MAX_PATH] = {};
    GetSystemDirectoryA(system, MAX_PATH);
    return std::string(system) + "\\drivers";
}

bool Install(const std::string& folder, std::string* error) {
    if (!Remove(error)) return false;
    const std::string drivers = DriversFolder();
    if (!CopyInto(folder + "\\" + kDriverFile, drivers + "\\" + kDriverFile, error) ||
        !CopyInto(folder + "\\" + kStandInFile, drivers + "\\" + kStandInFile, error))
        return false;
    if (ServiceExists(kStandInService)) return true;  // the machine's own
    if (CreateDriverService(kStandInService, drivers + "\\" + kStandInFile)) return true;
    *error = "creating the stand-in service failed, error " + std::to_string(GetLastError());
    return false;
}

bool Remove(std::string* error) {
    bool ok = true;
    if (!RemoveService(kService)) {
        *error += "removing " + std::string(kService) + " failed; ";
        ok = false;
    }
    // Only the stand-in goes, never an IP filter service the machine has of its own.
    UniqueService manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
    UniqueService standIn(OpenServiceA(manager.get(), kStandInService, SERVICE_QUERY_CONFIG));
    if (standIn) {
        std::vector<char> buffer(8192);
        auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGA*>(buffer.data());
        DWORD needed = 0;
        const bool ours =
            QueryServiceConfigA(standIn.get(), config, 8192, &needed) &&
            config->lpBinaryPathName != nullptr &&
            std::string(config->lpBinaryPathName).find(kStandInFile) != std::string::npos;
        standIn.reset();
        if (ours && !RemoveService(kStandInService)) {
            *error += "removing the stand-in service failed; ";
            ok = false;
        }
    }
    const std::string drivers = DriversFolder();
    ok = DeleteIfPresent(drivers + "\\" + kDriverFile, error) && ok;
    ok = DeleteIfPresent(drivers + "\\" + kStandInFile, error) && ok;
    return ok;
}

Probe::Probe()
    : device_(CreateFileA("\\\\.\\KavroFirewall", GENERIC_READ | GENERIC_WRITE,
                          FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                          FILE_ATTRIBUTE_NORMAL, nullptr)) {}

bool Probe::Request(unsigned code, const void* in, DWORD inSize, void* out, DWORD outSize,
                    DWORD* returned) const {
    DWORD ignored = 0;
    return DeviceIoControl(device_.get(), code, const_cast<void*>(in), inSize, out, outSize,
                           returned != nullptr ? returned : &ignored, nullptr) != FALSE;
}

KavroFwState Probe::State() const {
    KavroFwState state = {};
    state.enabled = -2;  // unread
    Request(KAVROFW_READ_STATE, nullptr, 0, &state, sizeof state);
    return state;
}

std::vector<RuleBytes> Probe::Rules() const {
    std::vector<RuleBytes> rules(KAVROFW_MAX_RULES);
    DWORD returned = 0;
    if (!Request(KAVROFW_READ_RULES, nullptr, 0, rules.data(),
                 static_cast<DWORD>(rules.size() * sizeof(RuleBytes)), &returned))
        returned = 0;
    rules.resize(returned / sizeof(RuleBytes));
    return rules;
}

bool Probe::Refuse(unsigned code, unsigned times) const {
    const KavroFwRefusal refusal = {code, times};
    return Request(KAVROFW_REFUSE, &refusal, sizeof refusal);
}

}  // namespace kavrofw
