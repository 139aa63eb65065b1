#include "open_port_more.h"

int COpenPortMore::Analyse(IVirusCaptorDataProvidor* /*record*/) {
    // Undecided until the test lands: a feature that cannot decide answers no.
    return 0;
}
