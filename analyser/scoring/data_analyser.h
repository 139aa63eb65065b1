#pragma once
// The heuristic feature interface. Every feature is one process-wide object the engine
// keeps in its registry. Slot order is an ABI (thiscall, MSVC vtable layout); the
// interface has no destructor slot.
#include "data_provider.h"

class IDataAnalyser {
public:
    // Slot 0. The feature id (6600 to 6620), a constant of the class.
    virtual int GetId() = 0;
    // Slot 1. "ID_" followed by the class name without its leading "C".
    virtual const char* GetName() = 0;
    // Slot 2. Loads what the feature needs beyond the subject; runs at every engine
    // Load. Nothing to load by default.
    virtual int Prepare() { return 1; }
    // Slot 3. Exactly 1 when the feature fires on the subject; any other value does not
    // fire (-1 is the engine's "not yet evaluated" mark, so a -1 is asked again).
    virtual int Analyse(IVirusCaptorDataProvidor* record) = 0;
    // Slot 4. A code from the engine's owner; ignored by default.
    virtual int Notify(int /*code*/) { return 1; }

protected:
    ~IDataAnalyser() = default;
};

// Result the engine keeps for a feature not yet evaluated on the current subject.
constexpr int kNotEvaluated = -1;
