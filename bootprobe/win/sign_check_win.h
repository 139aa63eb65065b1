#pragma once
// CheckSign behind the export: the system's trust verification first, then the
// structural test for an embedded attribute certificate.
#include "trust_verifier_win.h"

// 1 when the file is signed, else 0; `state` (may be null) receives a SignState.
int CheckSignature(CTrustVerifier& verifier, const char* fileName, int* state);
