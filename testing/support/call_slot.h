#pragma once
// Calls a slot of an object by number, as thiscall through the table at its offset 0:
// the way a host built by another compiler calls it.
namespace kvtest {

template <class Result, class... Args>
Result CallSlot(void* object, int slot, Args... args) {
    using Function = Result(__thiscall*)(void*, Args...);
    void** table = *static_cast<void***>(object);
    return reinterpret_cast<Function>(table[slot])(object, args...);
}

}  // namespace kvtest
