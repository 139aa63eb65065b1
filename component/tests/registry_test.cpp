#include <cstring>
#include <new>
#include <string>

#include <gtest/gtest.h>

#include "factory.h"
#include "registry.h"

namespace {

class NamedComponent : public IComponent {
public:
    explicit NamedComponent(const char* name) : name_(name) {}
    const char* GetName(char* buffer, int size) override {
        return AnswerComponentName(name_, buffer, size);
    }
    void* GetInterface(const char* name, int) override {
        return ComponentNameEquals(name, name_) ? this : nullptr;
    }

private:
    const char* name_;
};

struct SampleComponent : NamedComponent {
    SampleComponent() : NamedComponent("Sample") {}
};

// A registry that does not answer to the registry's name.
class ImpostorRegistry : public CKavroComponentManager {
public:
    const char* GetName(char* buffer, int size) override {
        return AnswerComponentName("SomethingElse", buffer, size);
    }
};

}  // namespace

TEST(ComponentName, BoundedCopyPadsAndOmitsTerminatorWhenFull) {
    NamedComponent c("Abc");
    char buffer[6];
    std::memset(buffer, 'x', sizeof buffer);
    const char* constant = c.GetName(buffer, 6);
    EXPECT_STREQ("Abc", constant);
    EXPECT_EQ(0, std::memcmp(buffer, "Abc\0\0\0", 6));
    EXPECT_EQ(constant, c.GetName(nullptr, 0));

    std::memset(buffer, 'x', sizeof buffer);
    c.GetName(buffer, 3);
    EXPECT_EQ(0, std::memcmp(buffer, "Abcxxx", 6));  // filled exactly: no terminator
    c.GetName(buffer, -5);                           // nonsense size copies nothing
    EXPECT_EQ(0, std::memcmp(buffer, "Abcxxx", 6));
}

TEST(ComponentName, InterfaceNeedsExactName) {
    NamedComponent c("MultiLanguage");
    EXPECT_EQ(&c, c.GetInterface("MultiLanguage", 0));
    EXPECT_EQ(nullptr, c.GetInterface("multilanguage", 0));
    EXPECT_EQ(nullptr, c.GetInterface("MultiLang", 0));
    EXPECT_EQ(nullptr, c.GetInterface("MultiLanguage2", 0));
    EXPECT_EQ(nullptr, c.GetInterface(nullptr, 0));
}

TEST(Registry, AnswersToItsOwnName) {
    CKavroComponentManager registry;
    EXPECT_STREQ("IKavroComponentManager", registry.GetName(nullptr, 0));
    EXPECT_EQ(static_cast<IKavroComponentManager*>(&registry),
              registry.GetInterface("IKavroComponentManager", 0));
    EXPECT_EQ(nullptr, registry.GetInterface("ikavrocomponentmanager", 0));
}

TEST(Registry, RefusesDuplicatesAndFindsByExactName) {
    CKavroComponentManager registry;
    NamedComponent a("a"), b("b");
    EXPECT_EQ(1, registry.RegisterComponent("Alpha", &a));
    EXPECT_EQ(0, registry.RegisterComponent("Alpha", &b));
    EXPECT_EQ(1, registry.GetComponentCount());

    IComponent* found = nullptr;
    EXPECT_EQ(1, registry.FindComponent("Alpha", &found));
    EXPECT_EQ(&a, found);  // the refused registration changed nothing
    IComponent* untouched = &b;
    EXPECT_EQ(0, registry.FindComponent("alpha", &untouched));
    EXPECT_EQ(0, registry.FindComponent("Alph", &untouched));
    EXPECT_EQ(&b, untouched);
}

TEST(Registry, IndexesInUnsignedByteOrderWithShorterFirst) {
    CKavroComponentManager registry;
    NamedComponent high("high"), low("low"), prefix("prefix"), longer("longer");
    registry.RegisterComponent("\xE9t\xE9", &high);  // bytes above 0x7F sort last
    registry.RegisterComponent("Zeta", &low);
    registry.RegisterComponent("Ab", &prefix);
    registry.RegisterComponent("Abc", &longer);

    IComponent* at = nullptr;
    ASSERT_EQ(4, registry.GetComponentCount());
    ASSERT_EQ(1, registry.GetComponentAt(0, &at));
    EXPECT_EQ(&prefix, at);
    ASSERT_EQ(1, registry.GetComponentAt(1, &at));
    EXPECT_EQ(&longer, at);
    ASSERT_EQ(1, registry.GetComponentAt(2, &at));
    EXPECT_EQ(&low, at);
    ASSERT_EQ(1, registry.GetComponentAt(3, &at));
    EXPECT_EQ(&high, at);

    at = nullptr;
    EXPECT_EQ(0, registry.GetComponentAt(4, &at));
    EXPECT_EQ(0, registry.GetComponentAt(-1, &at));
    EXPECT_EQ(nullptr, at);
}

TEST(Registry, RemovesOnlyTheFirstEntryInNameOrder) {
    CKavroComponentManager registry;
    NamedComponent twice("twice"), other("other");
    registry.RegisterComponent("Second", &twice);
    registry.RegisterComponent("First", &twice);
    registry.RegisterComponent("Other", &other);

    EXPECT_EQ(1, registry.RemoveComponent(&twice));
    IComponent* found = nullptr;
    EXPECT_EQ(0, registry.FindComponent("First", &found));
    EXPECT_EQ(1, registry.FindComponent("Second", &found));
    EXPECT_EQ(2, registry.GetComponentCount());

    EXPECT_EQ(1, registry.RemoveComponent(&twice));
    EXPECT_EQ(0, registry.RemoveComponent(&twice));
    NamedComponent never("never");
    EXPECT_EQ(0, registry.RemoveComponent(&never));
    EXPECT_EQ(1, registry.GetComponentCount());
}

TEST(Factory, SameObjectEveryCallAndOneEntry) {
    CKavroComponentManager registry;
    IComponent* first = nullptr;
    IComponent* second = nullptr;
    EXPECT_EQ(1, ServeComponent<SampleComponent>(&first, &registry));
    EXPECT_EQ(1, ServeComponent<SampleComponent>(&second, &registry));
    ASSERT_NE(nullptr, first);
    EXPECT_EQ(first, second);
    EXPECT_EQ(1, registry.GetComponentCount());
    IComponent* found = nullptr;
    ASSERT_EQ(1, registry.FindComponent("Sample", &found));
    EXPECT_EQ(first, found);
}

// Fails to build until told otherwise, the way a component whose allocation fails does.
struct FragileComponent : NamedComponent {
    static bool refuse;
    FragileComponent() : NamedComponent("Fragile") {
        if (refuse) throw std::bad_alloc();
    }
};
bool FragileComponent::refuse = true;

TEST(Factory, ObjectThatCannotBeBuiltIsNotHandedOutAndIsTriedAgain) {
    CKavroComponentManager registry;
    IComponent* out = reinterpret_cast<IComponent*>(&registry);
    EXPECT_EQ(0, ServeComponent<FragileComponent>(&out, &registry));
    EXPECT_EQ(nullptr, out);
    EXPECT_EQ(0, registry.GetComponentCount());
    FragileComponent::refuse = false;
    EXPECT_EQ(1, ServeComponent<FragileComponent>(&out, &registry));
    ASSERT_NE(nullptr, out);
    EXPECT_STREQ("Fragile", out->GetName(nullptr, 0));
    EXPECT_EQ(1, registry.GetComponentCount());
}

TEST(Factory, NullOrForeignRegistryRegistersNothing) {
    IComponent* out = nullptr;
    EXPECT_EQ(1, ServeComponent<SampleComponent>(&out, nullptr));
    EXPECT_NE(nullptr, out);

    ImpostorRegistry impostor;
    out = nullptr;
    EXPECT_EQ(1, ServeComponent<SampleComponent>(&out, &impostor));
    EXPECT_NE(nullptr, out);
    EXPECT_EQ(0, impostor.GetComponentCount());
}
