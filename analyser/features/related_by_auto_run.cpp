#include "related_by_auto_run.h"

int CRelatedByAutoRun::Analyse(IVirusCaptorDataProvidor* /*record*/) {
    // Undecided until the test lands: a feature that cannot decide answers no.
    return 0;
}
