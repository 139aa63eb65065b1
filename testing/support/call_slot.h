#pragma once
// Calls a slot of a real object by number, as thiscall through the table at its offset
// 0: the way a foreign host, built by another compiler, calls an object a DLL of ours
// handed out. Tests use it to drive real objects as such a host would; the slot numbers
// themselves are pinned by the stub tables of slot_stubs.h. Windows tree only (thiscall).
namespace kvtest {

template <class Result, class... Args>
Result CallSlot(void* object, int slot, Args... args) {
    using Function = Result(__thiscall*)(void*, Args...);
    void** table = *static_cast<void***>(object);
    return reinterpret_cast<Function>(table[slot])(object, args...);
}

}  // namespace kvtest
