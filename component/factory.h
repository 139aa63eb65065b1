#pragma once
// The common body of every component library's GetKavroComponentPtr export.
//
//   extern "C" int GetKavroComponentPtr(IComponent** out, IKavroComponentManager* registry) {
//       return ServeComponent<CMyComponent>(out, registry);
//   }
//
// `Component` must derive from IComponent (possibly beside other bases).
#include <cstring>

#include "component.h"

// Hands the component to the caller and enters it in the caller's registry when the
// registry answers to the registry's name. Always 1.
int OfferComponent(IComponent* component, IComponent** out, IKavroComponentManager* registry);

template <class Component>
Component& TheComponent() {
    // Built on the first call of the export, destroyed when the library unloads.
    static Component component;
    return component;
}

// 1 with the component handed out; 0, with null in `out`, when the object cannot be
// built (its constructor threw; the next call tries again). Nothing leaves the export.
template <class Component>
int ServeComponent(IComponent** out, IKavroComponentManager* registry) {
    Component* component = nullptr;
    try {
        component = &TheComponent<Component>();
    } catch (...) {
        if (out != nullptr) *out = nullptr;
        return 0;
    }
    return OfferComponent(static_cast<IComponent*>(component), out, registry);
}
