#ifndef KAVRO_COMPONENT_H
#define KAVRO_COMPONENT_H
// The component convention, for hosts of Courier.dll, NetWarden.dll, ExecWarden.dll and
// UserTag.dll. A host loads the library by file name, finds the export
// kGetKavroComponentPtrName and calls it; it receives the library's one object as an
// IComponent and asks that for its interface by name (each library's header gives the
// name). A host that keeps a registry (IKavroComponentManager) passes it to the export,
// and the component enters itself there under its name.
//
// Objects belong to their library: built on the first call of the export, destroyed when
// the library unloads. A host never deletes or releases them, and stops using them before
// it frees the library. Names are narrow strings compared byte for byte.
//
// Interfaces, records and names stand in the global namespace, under the names every
// component and host of the suite uses. Slot order is the binary contract: the comment
// of each operation gives its slot.
//
// Plain C++ for any 32-bit Windows compiler; it needs no windows.h.
#include "abi.h"

class IComponent {
public:
    // Slot 0. The component's name, a text that stays valid while the library is loaded.
    // When `buffer` is not null the name is also copied into it: at most `size` bytes, the
    // rest padded with NUL, and no terminator when the name fills all `size` bytes.
    // Callers that want the name only pass (null, 0).
    virtual const char* KAVRO_SLOT GetName(char* buffer, int size) = 0;
    // Slot 1. The interface called `name`, or null. Only the component's own name matches
    // (exactly, letter case included). `reserved`: pass 0.
    virtual void* KAVRO_SLOT GetInterface(const char* name, int reserved) = 0;

protected:
    // Never deleted through this interface. A virtual destructor would add slots, and
    // compilers disagree on how many.
    ~IComponent() {}
};

// A host's registry of components: an ordered map from name (bytes compared as unsigned
// characters, a prefix before its extensions) to component. It neither owns nor releases
// the components it lists. Implemented by hosts; the components call slots 0 to 2.
class IKavroComponentManager : public IComponent {
public:
    // Slots 0 and 1 as IComponent, with the name kRegistryName.
    // Slot 2. Adds the entry name -> component and returns 1; returns 0 and changes
    // nothing when an entry of that name exists.
    virtual int KAVRO_SLOT RegisterComponent(const char* name, IComponent* component) = 0;
    // Slot 3. 1, with the entry's component stored through `out`, when an entry of that
    // name exists; else 0 and nothing stored.
    virtual int KAVRO_SLOT FindComponent(const char* name, IComponent** out) = 0;
    // Slot 4. Removes the first entry, in name order, that holds `component` and returns 1;
    // 0 when no entry holds it.
    virtual int KAVRO_SLOT RemoveComponent(IComponent* component) = 0;
    // Slot 5. The number of entries.
    virtual int KAVRO_SLOT GetComponentCount() = 0;
    // Slot 6. 1, with the component of the index-th entry in name order (from 0) stored
    // through `out`; 0 when `index` is negative or not below the count.
    virtual int KAVRO_SLOT GetComponentAt(int index, IComponent** out) = 0;
    // Slot 7. The registry goes with its host; the components it lists are not touched.
    virtual ~IKavroComponentManager() {}
};

// The name a registry answers to, and asks GetInterface for itself under. A registry whose
// GetName answers anything else is ignored by the components.
const char kRegistryName[] = "IKavroComponentManager";

// The export of every component library. `out` (required) receives the library's object,
// the same pointer on every call. When `registry` is not null and answers to
// kRegistryName, the component enters itself there (a second entry of the same name is
// refused by the registry, which the component ignores). Returns 1; 0, with null in
// `out`, when the object cannot be built.
typedef int KAVRO_CDECL GetKavroComponentPtrFunction(IComponent** out,
                                                     IKavroComponentManager* registry);
typedef GetKavroComponentPtrFunction* GetKavroComponentPtrFn;
const char kGetKavroComponentPtrName[] = "GetKavroComponentPtr";

#endif  // KAVRO_COMPONENT_H
