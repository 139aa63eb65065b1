#include "registry.h"

#include <iterator>

const char* CKavroComponentManager::GetName(char* buffer, int size) {
    return AnswerComponentName(kRegistryName, buffer, size);
}

void* CKavroComponentManager::GetInterface(const char* name, int /*reserved*/) {
    return ComponentNameEquals(name, kRegistryName) ? static_cast<IKavroComponentManager*>(this)
                                                    : nullptr;
}

int CKavroComponentManager::RegisterComponent(const char* name, IComponent* component) {
    if (name == nullptr) return 0;
    return entries_.emplace(name, component).second ? 1 : 0;
}

int CKavroComponentManager::FindComponent(const char* name, IComponent** out) {
    if (name == nullptr) return 0;
    auto it = entries_.find(name);
    if (it == entries_.end()) return 0;
    if (out != nullptr) *out = it->second;
    return 1;
}

int CKavroComponentManager::RemoveComponent(IComponent* component) {
    for (auto it = entries_.begin(); it != entries_.end(); ++it) {
        if (it->second == component) {
            entries_.erase(it);
            return 1;
        }
    }
    return 0;
}

int CKavroComponentManager::GetComponentCount() {
    return static_cast<int>(entries_.size());
}

int CKavroComponentManager::GetComponentAt(int index, IComponent** out) {
    if (index < 0 || index >= GetComponentCount()) return 0;
    if (out != nullptr) *out = std::next(entries_.begin(), index)->second;
    return 1;
}
