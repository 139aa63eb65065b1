#include "port_table.h"

#include <algorithm>
#include <cstring>
#include <tuple>

int ClassifySystemVersion(const SystemVersion& version) {
    constexpr uint32_t kPlatform9x = 1;
    constexpr uint32_t kPlatformNt = 2;
    if (version.platformId == kPlatform9x) {
        if (version.minor == 0) return 0;
        if (version.minor == 10) return 1;
        if (version.minor == 90) return 2;
    } else if (version.platformId == kPlatformNt) {
        if (version.major == 3) return 3;
        if (version.major == 4) return 4;
        if (version.major == 5 && version.minor == 0) return 5;
        if (version.major == 5 && version.minor == 1) return 6;
        if (version.major == 5 && version.minor == 2) return 7;
    }
    return kVersionDefault;
}

bool PortTable::Entry::operator<(const Entry& other) const {
    return std::tie(path, record.port, record.protocol) <
           std::tie(other.path, other.record.port, other.record.protocol);
}

PortTable::PortTable(ProcessPathMap* paths, IEndpointSource* source, IProcessImagePaths* resolver)
    : paths_(paths), source_(source), resolver_(resolver), cursor_(records_.end()) {}

bool PortTable::Build() {
    records_.clear();
    cursor_ = records_.end();
    if (paths_ == nullptr || source_ == nullptr) return false;

    SystemVersion version;
    versionCode_ =
        source_->ReadVersion(&version) ? ClassifySystemVersion(version) : kVersionDefault;
    std::vector<OwnedEndpoint> endpoints;
    if (!source_->ListEndpoints(versionCode_, &endpoints)) return false;

    if (resolver_ != nullptr) {
        std::vector<uint32_t> unknown;
        for (const OwnedEndpoint& endpoint : endpoints) {
            if (paths_->count(endpoint.ownerPid) != 0) continue;
            if (std::find(unknown.begin(), unknown.end(), endpoint.ownerPid) != unknown.end())
                continue;
            unknown.push_back(endpoint.ownerPid);
        }
        // A failed lookup leaves those owners unknown, as a failed snapshot would.
        if (!unknown.empty()) resolver_->ResolveImagePaths(unknown, paths_);
    }
    for (const OwnedEndpoint& endpoint : endpoints) {
        Record(endpoint.ownerPid, endpoint.port, endpoint.protocol);
    }
    cursor_ = records_.begin();
    return true;
}

void PortTable::Record(uint32_t ownerPid, int32_t port, int32_t protocol) {
    // operator[] enters a missing owner with an empty path, which is never recorded.
    const std::string& path = (*paths_)[ownerPid];
    if (path.empty()) return;
    records_.insert(Entry{path, PortRecord{port, protocol}});
}

bool PortTable::Next(std::string* path, PortRecord* record) {
    if (cursor_ == records_.end()) return false;
    if (path != nullptr) *path = cursor_->path;
    if (record != nullptr) *record = cursor_->record;
    ++cursor_;
    return true;
}

bool PortTable::CountFor(const std::string& path, int* count) const {
    if (records_.empty() || count == nullptr) return false;
    int found = 0;
    for (const Entry& entry : records_) {
        if (entry.path.compare(0, path.size(), path) == 0) ++found;
    }
    *count = found;
    return true;
}

namespace {

uint32_t ReadLe32(const uint8_t* bytes) {
    return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
           static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

}  // namespace

void DecodeOwnerTable(const uint8_t* data, size_t size, int fieldsPerRow, int portField,
                      int pidField, int32_t protocol, std::vector<OwnedEndpoint>* endpoints) {
    if (data == nullptr || endpoints == nullptr || fieldsPerRow <= 0) return;
    if (portField < 0 || portField >= fieldsPerRow || pidField < 0 || pidField >= fieldsPerRow)
        return;
    if (size < 4) return;
    const size_t rowSize = static_cast<size_t>(fieldsPerRow) * 4;
    const size_t rowsHeld = (size - 4) / rowSize;
    const size_t rows = std::min<size_t>(ReadLe32(data), rowsHeld);
    for (size_t i = 0; i < rows; ++i) {
        const uint8_t* row = data + 4 + i * rowSize;
        // The port field holds the port in network order in its first two bytes.
        const uint8_t* portBytes = row + portField * 4;
        OwnedEndpoint endpoint;
        endpoint.port = static_cast<int32_t>(portBytes[0] << 8 | portBytes[1]);
        endpoint.ownerPid = ReadLe32(row + pidField * 4);
        endpoint.protocol = protocol;
        endpoints->push_back(endpoint);
    }
}
