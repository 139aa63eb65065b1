#pragma once
// Locks and their scope guards.
#include <windows.h>

namespace kvwin {

class CriticalSection {
public:
    CriticalSection() { InitializeCriticalSection(&section_); }
    ~CriticalSection() { DeleteCriticalSection(&section_); }
    CriticalSection(const CriticalSection&) = delete;
    CriticalSection& operator=(const CriticalSection&) = delete;

    void Enter() { EnterCriticalSection(&section_); }
    void Leave() { LeaveCriticalSection(&section_); }

private:
    CRITICAL_SECTION section_;
};

class Locked {
public:
    explicit Locked(CriticalSection& section) : section_(section) { section_.Enter(); }
    ~Locked() { section_.Leave(); }
    Locked(const Locked&) = delete;
    Locked& operator=(const Locked&) = delete;

private:
    CriticalSection& section_;
};

// An exclusive hold on a slim reader/writer lock for one scope.
class SrwExclusive {
public:
    explicit SrwExclusive(SRWLOCK* lock) : lock_(lock) { AcquireSRWLockExclusive(lock_); }
    ~SrwExclusive() { ReleaseSRWLockExclusive(lock_); }
    SrwExclusive(const SrwExclusive&) = delete;
    SrwExclusive& operator=(const SrwExclusive&) = delete;

private:
    SRWLOCK* lock_;
};

}  // namespace kvwin
