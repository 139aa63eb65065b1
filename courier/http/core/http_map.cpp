#include "http_map.h"

#include <algorithm>
#include <cstring>

#include "http_error.h"

namespace Torva {
namespace {

std::unique_ptr<char[]> Copy(const char* text) {
    if (text == nullptr) return nullptr;
    const size_t size = std::strlen(text) + 1;
    std::unique_ptr<char[]> copy(new char[size]);
    std::memcpy(copy.get(), text, size);
    return copy;
}

unsigned char Fold(unsigned char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c - 'A' + 'a') : c;
}

}  // namespace

int CHttpClientMapT::CompareNames(const char* a, const char* b) {
    if (a == nullptr || b == nullptr) return (a != nullptr) - (b != nullptr);
    for (;; ++a, ++b) {
        const unsigned char ca = Fold(static_cast<unsigned char>(*a));
        const unsigned char cb = Fold(static_cast<unsigned char>(*b));
        if (ca != cb) return ca < cb ? -1 : 1;
        if (ca == '\0') return 0;
    }
}

void CHttpClientMapT::Add(const char* name, const char* value, uint32_t attribute) {
    if (name == nullptr) ThrowHttpPrecondition("CHttpClientMapT::Add: szName can not be NULL.");
    Insert(Entry{Copy(name), Copy(value), attribute});
}

void CHttpClientMapT::AddPointerDirectly(char* name, char* value, uint32_t attribute) {
    Entry entry{std::unique_ptr<char[]>(name), std::unique_ptr<char[]>(value), attribute};
    if (name == nullptr) {
        ThrowHttpPrecondition("CHttpClientMapT::AddPointerDirectly: szName can not be NULL.");
    }
    Insert(std::move(entry));
}

void CHttpClientMapT::Insert(Entry entry) {
    // After every entry whose name is not greater: equal names keep insertion order.
    auto at = std::upper_bound(
        entries_.begin(), entries_.end(), entry.name.get(),
        [](const char* name, const Entry& e) { return CompareNames(name, e.name.get()) < 0; });
    entries_.insert(at, std::move(entry));
}

}  // namespace Torva
