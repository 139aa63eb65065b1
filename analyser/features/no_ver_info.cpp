#include "no_ver_info.h"

#include <string>

#include "image_frame.h"
#include "version_text.h"

namespace {

struct VersionFacts {
    bool seen = false;                 // a version resource longer than 28 bytes
    bool copyrightNamesMaker = false;  // its LegalCopyright text names the system's maker
};

int OnVersion(const unsigned char* data, int size, void* user) {
    VersionFacts* facts = static_cast<VersionFacts*>(user);
    *facts = VersionFacts();
    if (size < kMinVersionResourceSize) return 0;  // too short: try the next one
    facts->seen = true;
    // Kept for a weighting that tells system files from others; it does not change
    // whether the program carries version information.
    facts->copyrightNamesMaker =
        LegalCopyrightText(data, size).find("Microsoft") != std::string::npos;
    return 1;
}

}  // namespace

int CNoVerInfo::Analyse(IVirusCaptorDataProvidor* record) {
    return AskImage(record, reader_, [](const ImageSubject& image) {
        // Only an image can lack version information; other content cannot be judged.
        if (!image.isPE) return 0;
        VersionFacts facts;
        image.reader.EnumResources("RT_VERSION", OnVersion, &facts);
        return facts.seen ? 0 : 1;
    });
}
