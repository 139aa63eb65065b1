#pragma once
// The host side of the component convention: the registry a host owns and hands to
// every component library it loads.
#include <map>
#include <string>

#include "component.h"

class CKavroComponentManager : public IKavroComponentManager {
public:
    const char* GetName(char* buffer, int size) override;
    void* GetInterface(const char* name, int reserved) override;
    int RegisterComponent(const char* name, IComponent* component) override;
    int FindComponent(const char* name, IComponent** out) override;
    int RemoveComponent(IComponent* component) override;
    int GetComponentCount() override;
    int GetComponentAt(int index, IComponent** out) override;

private:
    // std::string orders by char_traits<char>::compare, which compares bytes as
    // unsigned characters and puts a prefix before its extensions.
    std::map<std::string, IComponent*> entries_;
};
