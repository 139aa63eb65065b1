// Writes the sample images that check_with_pefile.py reads back with an independent
// PE parser. Each image exercises one part of the builder; the expected values live
// in the script, so change both together.
#include <cstdio>
#include <string>
#include <vector>

#include "pe_image_builder.h"

namespace {

using petest::PeImageBuilder;
using petest::Section;

bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

std::vector<uint8_t> Text(const std::string& s) {
    return {s.begin(), s.end()};
}

std::vector<uint8_t> Ramp(size_t n, uint8_t start) {
    std::vector<uint8_t> v(n);
    for (size_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>(start + i);
    return v;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_DIR\n", argv[0]);
        return 2;
    }
    const std::string dir = std::string(argv[1]) + "/";
    struct Sample {
        const char* name;
        std::vector<uint8_t> bytes;
    };
    std::vector<Sample> samples;

    samples.push_back({"plain.exe", PeImageBuilder().EntryBytes({0x33, 0xC0, 0xC3}).Build()});

    samples.push_back({"library.dll", PeImageBuilder()
                                          .Characteristics(0x2102)
                                          .ImageBase(0x10000000)
                                          .Subsystem(3)
                                          .EntryBytes({0xB8, 1, 0, 0, 0, 0xC2, 0x0C, 0})
                                          .Build()});

    samples.push_back(
        {"imports.exe",
         PeImageBuilder()
             .EntryBytes({0xC3})
             .AddImport({"KERNEL32.dll", {{"GetProcAddress", 0x1A2}, {"LoadLibraryA", 5}}})
             .AddImport({"WS2_32.dll", {{"", 0, true, 23}, {"", 0, true, 115}}})
             .AddImport({"user32.dll", {{"MessageBoxA", 0x28F}, {"", 0, true, 2000}}})
             .Build()});

    samples.push_back({"icons.exe", PeImageBuilder()
                                        .EntryBytes({0xC3})
                                        .AddIcon(1, petest::MakeIconImage(16, 0x40))
                                        .AddIcon(2, petest::MakeIconImage(32, 0x80))
                                        .AddGroupIcon(101, {1, 2})
                                        .Build()});

    samples.push_back({"version.exe", PeImageBuilder()
                                          .EntryBytes({0xC3})
                                          .AddVersionInfo("Copyright (C) 2026 Example Works")
                                          .Build()});

    samples.push_back(
        {"named.exe", PeImageBuilder()
                          .EntryBytes({0xC3})
                          .AddResource({0, "MYTYPE"}, {0, "Config"}, Text("cfg-1"), 0x407)
                          .AddResource({0, "MYTYPE"}, {0, "Config"}, Text("cfg-2"))
                          .AddResource({0, "MYTYPE"}, {5, ""}, Text("five"))
                          .AddResource({10, ""}, {0, "zeta"}, Text("rcdata-zeta"))
                          .AddResource({10, ""}, {7, ""}, Text("rcdata-7"))
                          .Build()});

    samples.push_back(
        {"overlay.exe",
         PeImageBuilder().EntryBytes({0xC3}).Overlay(Text("OVERLAY-PAYLOAD")).Build()});

    samples.push_back(
        {"lfanew.exe", PeImageBuilder().Lfanew(0x105).EntryBytes({0x90, 0xC3}).Build()});

    samples.push_back({"opthdr.exe", PeImageBuilder()
                                         .SizeOfOptionalHeader(0xF0)
                                         .EntryBytes({0xC3})
                                         .AddSection({"DATA", Ramp(0x30, 1)})
                                         .Build()});

    std::vector<uint8_t> code = Ramp(0x40, 0x10);
    samples.push_back(
        {"sections.exe",
         PeImageBuilder()
             .EntryPoint(0x1010)
             .EntryBytes({0xCC, 0xC3})
             .AddSection({"", code})
             .AddSection({"12345678", Ramp(0x210, 0), 0, 0, 0, petest::kAuto, petest::kSectionData})
             .AddSection({"abcdefghij", {}, 0, 0x3000, 0, petest::kAuto, 0xC0000080})
             .AddSection(
                 {".t x", Ramp(8, 0xA0), 0x8000, 0, 0, petest::kAuto, petest::kSectionReadOnly})
             .AddSection(
                 {"odd\x01", Ramp(4, 0xF0), 0, 0x100, 0x1000, 0x200, petest::kSectionReadOnly})
             .Build()});

    for (const auto& s : samples) {
        if (!WriteFile(dir + s.name, s.bytes)) {
            std::fprintf(stderr, "cannot write %s%s\n", dir.c_str(), s.name);
            return 1;
        }
    }
    return 0;
}
