#include "with_bad_api.h"

int CWithBadAPI::Analyse(IVirusCaptorDataProvidor* /*record*/) {
    // Undecided until the test lands: a feature that cannot decide answers no.
    return 0;
}
