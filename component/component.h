#pragma once
// The component convention shared by every loadable library of the suite and its hosts.
// Slot order is an ABI with hosts built by other compilers: never reorder, never add a
// virtual destructor to IComponent.

class IComponent {
public:
    // Slot 0. Copies the name into `buffer` with bounded-copy semantics (at most `size`
    // bytes, the rest padded with NUL, no terminator when the name fills `size`) when
    // `buffer` is not null; always returns the component's own name constant.
    virtual const char* GetName(char* buffer, int size) = 0;
    // Slot 1. The interface called `name` (exact, case-sensitive), or null.
    virtual void* GetInterface(const char* name, int reserved) = 0;

protected:
    // Components are their library's static objects and are never deleted through
    // this interface; a virtual destructor would add slots a foreign host does not have.
    ~IComponent() = default;
};

// The host's component registry: an ordered map from name (bytes compared as unsigned
// characters, shorter-is-less) to component. It neither owns nor releases components.
class IKavroComponentManager : public IComponent {
public:
    // Slots 0 and 1 as IComponent, name "IKavroComponentManager".
    // Slot 2. 1 when the entry was added; 0, with no change, when the name exists.
    virtual int RegisterComponent(const char* name, IComponent* component) = 0;
    // Slot 3. 1 with the component stored through `out` when the name exists; else 0.
    virtual int FindComponent(const char* name, IComponent** out) = 0;
    // Slot 4. Removes the first entry in name order that holds `component`; 0 if none.
    virtual int RemoveComponent(IComponent* component) = 0;
    // Slot 5.
    virtual int GetComponentCount() = 0;
    // Slot 6. 1 with the index-th component in name order; 0 when index is out of range.
    virtual int GetComponentAt(int index, IComponent** out) = 0;
    // Slot 7. The registry goes with its host; the listed components are not touched.
    virtual ~IKavroComponentManager() {}
};

constexpr const char kRegistryName[] = "IKavroComponentManager";

// The export every component library offers under the name "GetKavroComponentPtr":
// cdecl (the default for a free function), filling `out` and entering the component in
// `registry` when that answers to the registry's name.
using GetKavroComponentPtrFn = int (*)(IComponent** out, IKavroComponentManager* registry);

// The component convention's bounded name copy (slot 0 of every component).
const char* AnswerComponentName(const char* name, char* buffer, int size);

// Exact byte-wise comparison of two NUL-terminated names; a null `asked` never matches.
bool ComponentNameEquals(const char* asked, const char* name);
