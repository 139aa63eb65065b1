#include "factory.h"

int OfferComponent(IComponent* component, IComponent** out, IKavroComponentManager* registry) {
    if (out != nullptr) *out = component;
    if (registry == nullptr) return 1;
    // A host whose registry does not name itself correctly is ignored silently.
    const char* registryName = registry->GetName(nullptr, 0);
    if (!ComponentNameEquals(registryName, kRegistryName)) return 1;
    auto* manager = static_cast<IKavroComponentManager*>(registry->GetInterface(kRegistryName, 0));
    // A second call meets the existing entry; the refusal is expected and ignored.
    if (manager != nullptr) manager->RegisterComponent(component->GetName(nullptr, 0), component);
    return 1;
}
