#include "ip_helper_endpoints.h"

#include <iphlpapi.h>
#include <windows.h>

#include <algorithm>
#include <cstddef>

#include "win32/handles.h"

namespace {

constexpr DWORD kAddressFamilyIpv4 = 2;  // AF_INET
// TCP_TABLE_OWNER_PID_ALL and UDP_TABLE_OWNER_PID of the documented calls.
constexpr int kTcpTableOwnerPidAll = 5;
constexpr int kUdpTableOwnerPid = 1;
// A table that keeps growing between the size query and the read is asked again a
// few times; a machine with more than this many bytes of endpoints is not believed.
constexpr int kOwnerTableAttempts = 4;
constexpr DWORD kMaxOwnerTableBytes = 16u << 20;

// The decoder's row layouts are those of the documented owner tables.
static_assert(sizeof(MIB_TCPROW_OWNER_PID) == kTcpOwnerRowFields * 4, "TCP owner row");
static_assert(offsetof(MIB_TCPROW_OWNER_PID, dwLocalPort) == kTcpPortField * 4, "TCP port");
static_assert(offsetof(MIB_TCPROW_OWNER_PID, dwOwningPid) == kTcpOwnerField * 4, "TCP owner");
static_assert(offsetof(MIB_TCPTABLE_OWNER_PID, table) == 4, "TCP rows follow the count");
static_assert(sizeof(MIB_UDPROW_OWNER_PID) == kUdpOwnerRowFields * 4, "UDP owner row");
static_assert(offsetof(MIB_UDPROW_OWNER_PID, dwLocalPort) == kUdpPortField * 4, "UDP port");
static_assert(offsetof(MIB_UDPROW_OWNER_PID, dwOwningPid) == kUdpOwnerField * 4, "UDP owner");
static_assert(offsetof(MIB_UDPTABLE_OWNER_PID, table) == 4, "UDP rows follow the count");

using AllocateExTableFn = DWORD(WINAPI*)(void** table, BOOL order, HANDLE heap, DWORD flags,
                                         DWORD family);
using GetExtendedTableFn = DWORD(WINAPI*)(void* table, DWORD* size, BOOL order, ULONG family,
                                          int tableClass, ULONG reserved);

// One table from the process heap: decoded within the block the heap gave, then freed.
bool ReadStackTable(AllocateExTableFn allocate, HANDLE heap, int fields, int portField,
                    int pidField, int32_t protocol, std::vector<OwnedEndpoint>* endpoints) {
    void* table = nullptr;
    if (allocate(&table, FALSE, heap, 0, kAddressFamilyIpv4) != NO_ERROR || table == nullptr)
        return false;
    const SIZE_T size = HeapSize(heap, 0, table);
    if (size != static_cast<SIZE_T>(-1)) {
        DecodeOwnerTable(static_cast<const uint8_t*>(table), size, fields, portField, pidField,
                         protocol, endpoints);
    }
    HeapFree(heap, 0, table);
    return true;
}

bool ReadOwnerTable(GetExtendedTableFn get, int tableClass, int fields, int portField, int pidField,
                    int32_t protocol, std::vector<OwnedEndpoint>* endpoints) {
    std::vector<uint8_t> buffer;
    DWORD size = 0;
    for (int attempt = 0; attempt < kOwnerTableAttempts; ++attempt) {
        buffer.resize(size);
        DWORD asked = size;
        const DWORD result = get(buffer.empty() ? nullptr : buffer.data(), &asked, FALSE,
                                 kAddressFamilyIpv4, tableClass, 0);
        if (result == NO_ERROR) {
            // `asked` may now be smaller than the buffer; read only what was written.
            DecodeOwnerTable(buffer.data(), std::min<size_t>(asked, buffer.size()), fields,
                             portField, pidField, protocol, endpoints);
            return true;
        }
        if (result != ERROR_INSUFFICIENT_BUFFER || asked > kMaxOwnerTableBytes) return false;
        // Room for a few more rows that may appear before the next call.
        size = asked + 16 * fields * 4;
    }
    return false;
}

}  // namespace

bool CIpHelperEndpoints::ReadVersion(SystemVersion* version) {
    OSVERSIONINFOA info = {};
    info.dwOSVersionInfoSize = sizeof(info);
    if (!GetVersionExA(&info)) return false;
    version->platformId = info.dwPlatformId;
    version->major = info.dwMajorVersion;
    version->minor = info.dwMinorVersion;
    return true;
}

bool CIpHelperEndpoints::ListEndpoints(int versionCode, std::vector<OwnedEndpoint>* endpoints) {
    if (versionCode != kVersionWindows2000 && ListFromStackTables(endpoints)) return true;
    endpoints->clear();
    return ListFromOwnerTables(endpoints);
}

bool CIpHelperEndpoints::ListFromStackTables(std::vector<OwnedEndpoint>* endpoints) {
    UniqueModule library(LoadLibraryA("iphlpapi.dll"));
    if (!library) return false;
    auto tcp = ProcAddress<AllocateExTableFn>(library.get(), "AllocateAndGetTcpExTableFromStack");
    auto udp = ProcAddress<AllocateExTableFn>(library.get(), "AllocateAndGetUdpExTableFromStack");
    if (tcp == nullptr || udp == nullptr) return false;
    HANDLE heap = GetProcessHeap();
    if (heap == nullptr) return false;
    // A table that cannot be read adds nothing; the other one is still used.
    ReadStackTable(tcp, heap, kTcpOwnerRowFields, kTcpPortField, kTcpOwnerField, kProtocolTcp,
                   endpoints);
    ReadStackTable(udp, heap, kUdpOwnerRowFields, kUdpPortField, kUdpOwnerField, kProtocolUdp,
                   endpoints);
    return true;
}

bool CIpHelperEndpoints::ListFromOwnerTables(std::vector<OwnedEndpoint>* endpoints) {
    UniqueModule library(LoadLibraryA("iphlpapi.dll"));
    if (!library) return false;
    auto tcp = ProcAddress<GetExtendedTableFn>(library.get(), "GetExtendedTcpTable");
    auto udp = ProcAddress<GetExtendedTableFn>(library.get(), "GetExtendedUdpTable");
    if (tcp == nullptr || udp == nullptr) return false;
    // As with the heap tables, one table that cannot be read does not void the other.
    ReadOwnerTable(tcp, kTcpTableOwnerPidAll, kTcpOwnerRowFields, kTcpPortField, kTcpOwnerField,
                   kProtocolTcp, endpoints);
    ReadOwnerTable(udp, kUdpTableOwnerPid, kUdpOwnerRowFields, kUdpPortField, kUdpOwnerField,
                   kProtocolUdp, endpoints);
    return true;
}
