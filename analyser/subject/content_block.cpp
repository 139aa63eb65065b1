#include "content_block.h"

#include <mutex>
#include <new>

namespace {

// Smaller blocks come from the heap's own free lists at no cost worth saving; keeping
// one of them aside would only take the large block's place.
constexpr size_t kSmallestKeptBlock = 64 * 1024;

// One block kept aside: the larger of the last two released. It goes with the library:
// a host that unloads and loads the analyser again must not lose a block each time.
std::mutex g_spareLock;
unsigned char* g_spare = nullptr;
size_t g_spareCapacity = 0;

struct SpareOwner {
    ~SpareOwner() {
        delete[] g_spare;
        g_spare = nullptr;
        g_spareCapacity = 0;
    }
} g_spareOwner;

}  // namespace

bool ContentBlock::Acquire(size_t length) {
    if (data_ != nullptr && capacity_ >= length) return true;
    Release();
    if (length >= kSmallestKeptBlock) {
        std::lock_guard<std::mutex> lock(g_spareLock);
        if (g_spare != nullptr && g_spareCapacity >= length) {
            data_ = g_spare;
            capacity_ = g_spareCapacity;
            g_spare = nullptr;
            g_spareCapacity = 0;
            return true;
        }
    }
    data_ = new (std::nothrow) unsigned char[length == 0 ? 1 : length];
    capacity_ = data_ != nullptr ? length : 0;
    return data_ != nullptr;
}

void ContentBlock::Release() {
    if (data_ == nullptr) return;
    unsigned char* freed = data_;
    if (capacity_ >= kSmallestKeptBlock) {
        std::lock_guard<std::mutex> lock(g_spareLock);
        if (capacity_ > g_spareCapacity) {
            freed = g_spare;
            g_spare = data_;
            g_spareCapacity = capacity_;
        }
    }
    delete[] freed;
    data_ = nullptr;
    capacity_ = 0;
}

size_t SpareContentBytes() {
    std::lock_guard<std::mutex> lock(g_spareLock);
    return g_spareCapacity;
}
