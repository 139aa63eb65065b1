#pragma once
// An image on which none of the image features fires: more than five harmless
// imports, version information, and only the section names an ordinary build uses.
// Tests of the name, location and scoring rules describe their subjects with it, so
// the hits they expect come from what they test alone.
#include <vector>

#include "pe_image_builder.h"

inline std::vector<uint8_t> QuietImage(petest::PeImageBuilder builder = petest::PeImageBuilder()) {
    petest::Section text;
    text.name = ".text";
    text.data.assign(0x300, 0xC3);
    builder.AddSection(text);
    petest::ImportDll kernel;
    kernel.dll = "KERNEL32.dll";
    for (const char* name :
         {"GetTickCount", "ReadFile", "WriteFile", "CloseHandle", "CreateFileA", "lstrlenA"}) {
        kernel.functions.push_back({name});
    }
    builder.AddImport(kernel).ImportSectionName(".rdata");
    builder.AddVersionInfo("Copyright (C) Example Corp.").ResourceSectionName(".data");
    return builder.Build();
}
