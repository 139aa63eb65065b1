#pragma once
// The process-wide objects of the library, each built on first use and destroyed when
// the library unloads.
#include "assayer.h"
#include "vcs.h"

// The engine, with the eighteen features registered in catalogue order.
VCS::IVCS* GetVcs();

// The state behind the exports.
CAssayer& TheAssayer();
