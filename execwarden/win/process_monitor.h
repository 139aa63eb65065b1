#pragma once
// The process monitor as hosts see it: the two component slots, then its own operations.
// Slot order is an ABI with hosts built by other compilers (thiscall). No virtual
// destructor: GCC would give it two slots where an MSVC host expects one.
#include "component.h"
#include "execute_callback.h"

constexpr const char kProcessMonitorName[] = "Kavro ShellExecute Moniter 1.0.0.0";

class IProcessMonitor : public IComponent {
public:
    // Slots 0 and 1 as IComponent, name kProcessMonitorName.
    // Slot 2. Where an MSVC host expects the deleting destructor. The object belongs to
    // the library, so this does nothing and answers the object.
    virtual IProcessMonitor* Destroy(unsigned int flags) = 0;
    // Slot 3. Appends a handler (asked in the order added); false for null.
    virtual unsigned char AddCallback(IExecuteCallback* callback) = 0;
    // Slot 4. The first call installs and starts the driver and begins listening; it
    // returns once the driver is open (or known to be missing), or after 10 s while the
    // driver is still starting. Later calls undo one Stop.
    virtual unsigned char Start() = 0;
    // Slot 5. Pauses reading from the driver until the matching Start; queued records are
    // still handled. Counted: two Stops need two Starts. Nothing before the first Start.
    // Returns at once, whatever the driver does with a read already sent.
    virtual unsigned char Stop() = 0;
};
