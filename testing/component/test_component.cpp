// A component that does nothing but count how often its object was built.
#include "factory.h"

namespace {

int g_constructions = 0;

class CTestComponent : public IComponent {
public:
    CTestComponent() { ++g_constructions; }
    const char* GetName(char* buffer, int size) override {
        return AnswerComponentName("TestComponent", buffer, size);
    }
    void* GetInterface(const char* name, int) override {
        return ComponentNameEquals(name, "TestComponent") ? this : nullptr;
    }
};

}  // namespace

extern "C" int __cdecl GetKavroComponentPtr(IComponent** out, IKavroComponentManager* registry) {
    return ServeComponent<CTestComponent>(out, registry);
}

extern "C" int __cdecl TestComponentConstructions() {
    return g_constructions;
}
