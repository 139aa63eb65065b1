// Every host header in one translation unit, with one class per interface whose
// constructor is defined here. Compiled for Microsoft's ABI, the constructors emit each
// interface's table, and -fdump-vtable-layouts prints the slot every operation gets there:
// the layout a host built with Microsoft's compiler sees.
#include "kavro/assayer.h"
#include "kavro/bootprobe.h"
#include "kavro/component.h"
#include "kavro/courier.h"
#include "kavro/execwarden.h"
#include "kavro/netwarden.h"
#include "kavro/usertag.h"

#define KAVRO_LAYOUT_OF(Interface)         \
    struct Interface##Layout : Interface { \
        Interface##Layout();               \
    };                                     \
    Interface##Layout::Interface##Layout() {}

KAVRO_LAYOUT_OF(IComponent)
KAVRO_LAYOUT_OF(IKavroComponentManager)
KAVRO_LAYOUT_OF(IDlgUpload)
KAVRO_LAYOUT_OF(INetMonitorSink)
KAVRO_LAYOUT_OF(INetMonitor)
KAVRO_LAYOUT_OF(IExecuteCallback)
KAVRO_LAYOUT_OF(IProcessMonitor)
KAVRO_LAYOUT_OF(IUserDigestList)
