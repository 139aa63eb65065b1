#include "multi_ext_name.h"

#include "extension_table.h"

int CMultiExtName::Prepare() {
    for (size_t i = 0; i < kKnownExtensionCount; ++i) extensions_.insert(kKnownExtensions[i]);
    return 1;
}

int CMultiExtName::Analyse(IVirusCaptorDataProvidor* record) {
    const std::string ext = record->GetExtName();
    const size_t lastDot = ext.rfind('.');
    if (lastDot == std::string::npos) return 0;
    const std::string inner = ext.substr(0, lastDot);
    // Three or more extensions are common in real names and do not count.
    if (inner.find('.') != std::string::npos) return 0;
    return extensions_.count(inner) != 0 ? 1 : 0;
}
