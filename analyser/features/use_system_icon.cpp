#include "use_system_icon.h"

#include <cstdint>

#include "crc32.h"
#include "image_frame.h"
#include "system_icon_table.h"

namespace {

int OnIcon(const unsigned char* data, int size, void* user) {
    uint32_t crc = 0;
    if (size <= 0 || CCRC32().Compute(data, static_cast<uint32_t>(size), &crc) == 0) return 0;
    if (!IsSystemIconChecksum(crc)) return 0;
    *static_cast<int*>(user) = 1;
    return -1;  // found: stop the walk
}

}  // namespace

int CUseSystemIcon::Analyse(IVirusCaptorDataProvidor* record) {
    return AskImage(record, reader_, [](const ImageSubject& image) {
        int hit = 0;
        image.reader.EnumResources("RT_ICON", OnIcon, &hit);
        return hit;
    });
}
