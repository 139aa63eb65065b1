#include "running_images_win.h"

#include <winternl.h>

#include <cstddef>
#include <cstring>

#include "win32/handles.h"

namespace {

constexpr ULONG kSystemProcessInformation = 5;
constexpr LONG kStatusInfoLengthMismatch = static_cast<LONG>(0xC0000004);
constexpr size_t kFirstBufferBytes = 64 << 10;
// A machine listing more than this is not believed.
constexpr size_t kMaxBufferBytes = 16 << 20;

static_assert(offsetof(SYSTEM_PROCESS_INFORMATION, NextEntryOffset) == 0, "entry link");
static_assert(offsetof(SYSTEM_PROCESS_INFORMATION, ImageName) == 56, "image name");
static_assert(offsetof(SYSTEM_PROCESS_INFORMATION, UniqueProcessId) == 68, "process id");

// Room taken at the start for this many processes and name bytes each.
constexpr size_t kReservedProcesses = 256;
constexpr size_t kReservedNameBytes = 40;

// The idle process has no image and is never the owner of anything.
constexpr ULONG_PTR kIdleProcessId = 0;

// UTF-16 text to ASCII in `name`, whose memory is used again; anything else cannot be
// compared with a narrow path.
void NarrowImageName(const unsigned char* text, size_t characters, std::string* name) {
    name->clear();
    for (size_t i = 0; i < characters; ++i) {
        const unsigned unit = text[2 * i] | text[2 * i + 1] << 8;
        if (unit == 0 || unit >= 0x80) {
            name->assign(kUncomparableImageName);
            return;
        }
        name->push_back(static_cast<char>(unit));
    }
}

}  // namespace

CRunningImageNames::CRunningImageNames(IProcessImagePaths* resolver, int maxAgeMilliseconds)
    : resolver_(resolver), maxAgeMilliseconds_(maxAgeMilliseconds) {
    processes_.resize(kReservedProcesses);
    for (Listed& process : processes_) process.name.reserve(kReservedNameBytes);
    candidates_.reserve(kReservedProcesses);
    buffer_.resize(kFirstBufferBytes);
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    if (ntdll != nullptr) query_ = ProcAddress<QueryFn>(ntdll, "NtQuerySystemInformation");
}

bool CRunningImageNames::ListProcesses(std::vector<Listed>* processes) {
    size_t count = 0;
    const bool complete = ListInto(processes, &count);
    processes->resize(count);
    return complete;
}

bool CRunningImageNames::ListInto(std::vector<Listed>* processes, size_t* count) {
    *count = 0;
    if (query_ == nullptr) return false;
    ULONG returned = 0;
    LONG status;
    while ((status = query_(kSystemProcessInformation, buffer_.data(),
                            static_cast<ULONG>(buffer_.size()), &returned)) ==
           kStatusInfoLengthMismatch) {
        if (buffer_.size() >= kMaxBufferBytes) return false;
        buffer_.resize(buffer_.size() * 2);
    }
    if (status < 0) return false;

    const size_t size = returned != 0 && returned < buffer_.size() ? returned : buffer_.size();
    const unsigned char* base = buffer_.data();
    // The entries and their names are written over the last listing's, so that a host
    // asking for every subject does not leave fresh small blocks all over its heap.
    size_t& listed = *count;
    bool complete = false;
    for (size_t offset = 0;;) {
        if (size - offset < sizeof(SYSTEM_PROCESS_INFORMATION)) break;
        SYSTEM_PROCESS_INFORMATION entry;
        memcpy(&entry, base + offset, sizeof(entry));
        const ULONG_PTR pid = reinterpret_cast<ULONG_PTR>(entry.UniqueProcessId);
        if (pid != kIdleProcessId) {
            if (listed == processes->size()) processes->emplace_back();
            Listed& process = (*processes)[listed++];
            process.pid = static_cast<uint32_t>(pid);
            process.started = entry.CreateTime.QuadPart;
            // The name lies within the listing; one that does not is not compared.
            const auto* text = reinterpret_cast<const unsigned char*>(entry.ImageName.Buffer);
            const size_t bytes = entry.ImageName.Length;
            const bool inside = text >= base && text <= base + size &&
                                bytes <= static_cast<size_t>(base + size - text);
            if (inside && bytes != 0) {
                NarrowImageName(text, bytes / 2, &process.name);
            } else {
                process.name.assign(kUncomparableImageName);
            }
        }
        if (entry.NextEntryOffset == 0) {
            complete = true;
            break;
        }
        if (entry.NextEntryOffset > size - offset) break;
        offset += entry.NextEntryOffset;
    }
    return complete;
}

ULONG CRunningImageNames::ListingSize() {
    if (query_ == nullptr) return 0;
    ULONG needed = 0;
    return query_(kSystemProcessInformation, nullptr, 0, &needed) == kStatusInfoLengthMismatch
               ? needed
               : 0;
}

bool CRunningImageNames::ExactPath(const Listed& process, std::string* path) {
    const auto key = std::make_pair(process.pid, process.started);
    const auto kept = exactPaths_.find(key);
    if (kept != exactPaths_.end()) {
        *path = kept->second;
        return true;
    }
    ++resolutions_;
    ProcessPathMap paths;
    if (!resolver_->ResolveImagePaths({process.pid}, &paths)) return false;
    const auto found = paths.find(process.pid);
    // A process that cannot be read now (one still starting, say) is asked again later.
    if (found == paths.end()) return false;
    exactPaths_[key] = found->second;
    *path = found->second;
    return true;
}

bool CRunningImageNames::MayBeRunning(const char* path) {
    if (path == nullptr) return false;
    // The size is taken before the listing: a program that starts in between is either
    // in the listing or changes the size that the next question compares.
    const ULONG size = ListingSize();
    LARGE_INTEGER now = {};
    LARGE_INTEGER frequency = {};
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    const LONGLONG age = now.QuadPart - keptAt_.QuadPart;
    const bool fresh = kept_ && size != 0 && size == keptSize_ && age >= 0 &&
                       age < frequency.QuadPart / 1000 * maxAgeMilliseconds_;
    if (!fresh) {
        ++listings_;
        kept_ = ListInto(&processes_, &listed_);
        keptSize_ = size;
        keptAt_ = now;
        // Paths of processes that have ended are let go.
        for (auto it = exactPaths_.begin(); it != exactPaths_.end();) {
            bool listed = false;
            for (size_t i = 0; i < listed_; ++i) {
                const Listed& process = processes_[i];
                listed = listed ||
                         (process.pid == it->first.first && process.started == it->first.second);
            }
            it = listed ? std::next(it) : exactPaths_.erase(it);
        }
        if (!kept_) return true;
    }

    switch (MatchRunningImages(path, processes_.data(), listed_, &candidates_)) {
        case ImageMatch::kNoProcess:
            return false;
        case ImageMatch::kUnsure:
            return true;
        case ImageMatch::kSomeProcesses:
            break;
    }
    if (resolver_ == nullptr) return true;
    for (size_t index : candidates_) {
        std::string exact;
        if (ExactPath(processes_[index], &exact) && exact == path) return true;
    }
    return false;
}
