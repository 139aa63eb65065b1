#include "few_api_count.h"

int CFewAPICount::Analyse(IVirusCaptorDataProvidor* /*record*/) {
    // Undecided until the test lands: a feature that cannot decide answers no.
    return 0;
}
