#ifndef KAVRO_EXECWARDEN_H
#define KAVRO_EXECWARDEN_H
// ExecWarden.dll for its hosts: the process monitor and the handler a host registers
// with it.
//
// A host gets the monitor through the component convention (component.h):
// GetInterface(kProcessMonitorName, 0) answers the object itself, whose slots begin with
// IComponent's two. Order of calls: AddCallback for each handler, then Start. Start
// installs and starts the process-creation driver ProcWatchDriver.sys from the library's
// own folder, and from then on every new process the driver reports is handed to the
// handlers with the full path of its image. A handler that answers 0 has the process
// ended at once (exit code 0).
//
// The library is also an in-process COM server (regsvr32) with a shell-execute hook; its
// type library ships beside these headers.
//
// Plain C++ for any 32-bit Windows compiler; it needs no windows.h.
#include "abi.h"
#include "component.h"
#include "win32_types.h"

// The component's name, and the name of its interface (the object itself).
const char kProcessMonitorName[] = "Kavro ShellExecute Moniter 1.0.0.0";

// Implemented by the host. The monitor keeps plain pointers until it unloads.
class IExecuteCallback {
public:
    // Slot 0. Asked about each new process, on the monitor's worker thread, one call at a
    // time. `verb`, `parameters` and `directory` are "" here; `file` is the full path of
    // the image and `module` its load address, the same for every handler. The monitor
    // asks the system for the image of the process by its handle, so one caught at its
    // creation, before any module is listed, has both at once. Both are empty (and 0) when
    // the process cannot be opened with the access the monitor asks (query, read, end),
    // or is gone and lists no modules within about a second. Nonzero allows the process;
    // 0 blocks it: the monitor ends the very process asked about (never a later one given
    // its id) with exit code 0 and asks no later handler.
    virtual unsigned char KAVRO_SLOT OnExecute(const char* verb, const char* file,
                                               const char* parameters, const char* directory,
                                               DWORD processId, HMODULE module) = 0;
};

class IProcessMonitor : public IComponent {
public:
    // Slots 0 and 1 as IComponent, with the name kProcessMonitorName.
    // Slot 2. Where a compiler with one destructor slot puts it. The object belongs to the
    // library: the slot frees nothing and answers the object.
    virtual IProcessMonitor* KAVRO_SLOT Destroy(unsigned int flags) = 0;
    // Slot 3. Appends a handler (handlers are asked in the order added); 0 for null.
    virtual unsigned char KAVRO_SLOT AddCallback(IExecuteCallback* callback) = 0;
    // Slot 4. The first call installs and starts the driver and begins listening; it
    // returns once the driver is open (or known to be missing), or after 10 s while the
    // driver is still starting. Later calls undo one Stop.
    virtual unsigned char KAVRO_SLOT Start() = 0;
    // Slot 5. Pauses reading from the driver until the matching Start; processes already
    // reported are still handed to the handlers. Counted: two Stops need two Starts.
    // Returns at once, whatever the driver does with a read already sent.
    virtual unsigned char KAVRO_SLOT Stop() = 0;

protected:
    ~IProcessMonitor() {}
};

#endif  // KAVRO_EXECWARDEN_H
