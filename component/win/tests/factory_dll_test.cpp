// The factory export through a real component library, loaded the way hosts load it.
#include <windows.h>

#include <cstring>

#include <gtest/gtest.h>

#include "component.h"
#include "registry.h"
#include "win32/handles.h"

namespace {

using CountFn = int(__cdecl*)();

class ImpostorRegistry : public CKavroComponentManager {
public:
    const char* GetName(char* buffer, int size) override {
        return AnswerComponentName("IKavroComponentManager2", buffer, size);
    }
};

class FactoryDllTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetLastError(0xDEADBEEF);
        module_ = LoadLibraryA("TestComponent.dll");
        ASSERT_NE(nullptr, module_) << "LoadLibrary failed, error " << GetLastError();
        factory_ = ProcAddress<GetKavroComponentPtrFn>(module_, "GetKavroComponentPtr");
        constructions_ = ProcAddress<CountFn>(module_, "TestComponentConstructions");
        ASSERT_NE(nullptr, factory_);
        ASSERT_NE(nullptr, constructions_);
    }
    void TearDown() override {
        if (module_ != nullptr) FreeLibrary(module_);
    }

    HMODULE module_ = nullptr;
    GetKavroComponentPtrFn factory_ = nullptr;
    CountFn constructions_ = nullptr;
};

}  // namespace

TEST_F(FactoryDllTest, ExportIsUndecoratedAndBuildsTheObjectOnFirstCallOnly) {
    IComponent* first = nullptr;
    IComponent* second = nullptr;
    ASSERT_EQ(1, factory_(&first, nullptr));
    ASSERT_EQ(1, factory_(&second, nullptr));
    ASSERT_NE(nullptr, first);
    EXPECT_EQ(first, second);
    EXPECT_EQ(1, constructions_());
    EXPECT_STREQ("TestComponent", first->GetName(nullptr, 0));
    EXPECT_EQ(first, first->GetInterface("TestComponent", 0));
    EXPECT_EQ(nullptr, first->GetInterface("testcomponent", 0));
    EXPECT_EQ(nullptr, first->GetInterface("TestComp", 0));
}

TEST_F(FactoryDllTest, TwoCallsWithOneRegistryLeaveOneEntry) {
    CKavroComponentManager registry;
    IComponent* first = nullptr;
    IComponent* second = nullptr;
    EXPECT_EQ(1, factory_(&first, &registry));
    EXPECT_EQ(1, factory_(&second, &registry));
    EXPECT_EQ(first, second);
    ASSERT_EQ(1, registry.GetComponentCount());
    IComponent* found = nullptr;
    ASSERT_EQ(1, registry.FindComponent("TestComponent", &found));
    EXPECT_EQ(first, found);
}

TEST_F(FactoryDllTest, NullRegistryOrForeignRegistryGetsNoEntry) {
    IComponent* out = nullptr;
    EXPECT_EQ(1, factory_(&out, nullptr));
    EXPECT_NE(nullptr, out);

    ImpostorRegistry impostor;
    out = nullptr;
    EXPECT_EQ(1, factory_(&out, &impostor));
    EXPECT_NE(nullptr, out);
    EXPECT_EQ(0, impostor.GetComponentCount());
}
