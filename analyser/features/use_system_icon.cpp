#include "use_system_icon.h"

int CUseSystemIcon::Analyse(IVirusCaptorDataProvidor* /*record*/) {
    // Undecided until the test lands: a feature that cannot decide answers no.
    return 0;
}
