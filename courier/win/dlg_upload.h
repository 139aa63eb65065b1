#pragma once
// The upload component's interface as hosts see it (include/kavro/courier.h): IDlgUpload,
// its name and WM_UPLOAD_STATUS. The slot order is an ABI shared with hosts built by
// other compilers (thiscall): never reorder, never add a destructor.
#include <windows.h>

#include <string>
#include <vector>

#include "kavro/courier.h"
