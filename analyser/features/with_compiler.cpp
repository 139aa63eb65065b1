#include "with_compiler.h"

int CWithCompiler::Analyse(IVirusCaptorDataProvidor* /*record*/) {
    // Undecided until the test lands: a feature that cannot decide answers no.
    return 0;
}
