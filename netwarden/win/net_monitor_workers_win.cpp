// The address thread (every 10 minutes) and the traffic thread (every 500 ms).
#include <winsock2.h>

#include <cstring>
#include <new>

#include "address_block.h"
#include "driver_codes.h"
#include "net_monitor_win.h"

namespace {

constexpr DWORD kAddressPeriodMs = 600000;
constexpr DWORD kTrafficPeriodMs = 500;
// Bits of the policy under which the driver keeps traffic statistics.
constexpr int32_t kTrafficPolicyBits = 0x3;

}  // namespace

// The addresses the host name resolves to. Under Wine this gives the machine's own
// non-loopback addresses, where getaddrinfo answers 127.0.0.1 only.
std::vector<std::string> CNetMonitor::LocalAddresses() {
    std::vector<std::string> texts;
    WSADATA data;
    if (WSAStartup(MAKEWORD(2, 2), &data) != 0) return texts;
    char name[128] = {};
    if (gethostname(name, sizeof name) == 0) {
        const hostent* host = gethostbyname(name);
        if (host != nullptr && host->h_addrtype == AF_INET && host->h_length == 4) {
            for (char** entry = host->h_addr_list; *entry != nullptr; ++entry) {
                in_addr address;
                std::memcpy(&address, *entry, sizeof address);
                texts.push_back(inet_ntoa(address));
            }
        }
    }
    WSACleanup();
    return texts;
}

void CNetMonitor::AddressThread(void* self) {
    static_cast<CNetMonitor*>(self)->AddressLoop();
}

void CNetMonitor::TrafficThread(void* self) {
    static_cast<CNetMonitor*>(self)->TrafficLoop();
}

void CNetMonitor::AddressLoop() {
    std::vector<std::string> texts = std::move(firstAddresses_);
    for (;;) {
        if (!texts.empty()) {
            const AddressBlock block = BuildAddressBlock(texts);
            // A driver that refuses the addresses is not told again.
            if (!Control(kSetAddressesCode, block.data(), static_cast<DWORD>(block.size()), nullptr,
                         0))
                return;
        }
        if (WaitForSingleObject(stopEvent_.get(), kAddressPeriodMs) != WAIT_TIMEOUT) return;
        texts = LocalAddresses();
    }
}

void CNetMonitor::TrafficLoop() {
    for (;;) {
        if ((policy_.load() & kTrafficPolicyBits) != 0) PollTraffic();
        if (WaitForSingleObject(stopEvent_.get(), kTrafficPeriodMs) != WAIT_TIMEOUT) return;
    }
}

void CNetMonitor::PollTraffic() {
    std::vector<uint8_t> buffer;
    try {
        buffer.assign(TrafficBufferBytes(trafficHint_), 0);
    } catch (const std::bad_alloc&) {
        trafficHint_ = 0;  // ask for less next time
        return;
    }
    DWORD returned = 0;
    if (!Control(kReadTrafficCode, nullptr, 0, buffer.data(), static_cast<DWORD>(buffer.size()),
                 &returned))
        returned = 0;
    const uint32_t count =
        MergeTrafficAnswer(buffer.data(), buffer.size(), returned, &trafficRecords_, &trafficHint_);
    if (count > 0) {
        const std::vector<INetMonitorSink*> sinks = Sinks();
        for (const TrafficRecord& record : trafficRecords_)
            for (INetMonitorSink* sink : sinks) sink->OnTraffic(&record);
    }
    trafficRecords_.clear();
}
