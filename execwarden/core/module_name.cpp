#include "module_name.h"

#include <algorithm>
#include <vector>

std::string_view TrimModuleName(std::string_view name) {
    std::size_t start = name.find_first_not_of(" \t\b\n");
    return start == std::string_view::npos ? std::string_view() : name.substr(start);
}

namespace {

// The module count, or 0 when the enumeration failed or found nothing.
std::size_t Enumerate(ProcessImageSource& source, std::vector<ModuleAddress>& table) {
    std::size_t count = 0;
    if (!source.EnumerateModules(table.data(), table.size(), &count)) return 0;
    return std::min(count, table.size());
}

}  // namespace

ProcessImage FindProcessImage(ProcessImageSource& source) {
    ProcessImage image;
    std::string name;
    ModuleAddress module = 0;
    if (source.MainImage(&name, &module) && module != 0 && !TrimModuleName(name).empty()) {
        image.path.assign(TrimModuleName(name));
        image.module = module;
        return image;
    }
    std::vector<ModuleAddress> table(kModuleTableEntries);
    std::size_t count = Enumerate(source, table);
    for (int retry = 0; count == 0 && retry < kImageLookupRetries; ++retry) {
        if (!source.Pause(kImageLookupRetryMs)) {
            image.stopped = true;
            break;
        }
        count = Enumerate(source, table);
    }
    for (std::size_t i = 0; i < count; ++i) {
        name.clear();
        if (!source.ModuleFileName(table[i], &name)) continue;
        std::string_view trimmed = TrimModuleName(name);
        if (trimmed.empty()) continue;
        image.path.assign(trimmed);
        image.module = table[i];
        break;
    }
    return image;
}
