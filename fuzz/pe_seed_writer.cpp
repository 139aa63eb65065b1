// Writes the fuzzer's starting images into a folder: programs built with the test-image
// builder that reach every part of the reader (imports with ordinals, a resource tree
// with named entries, entry code of known signatures, an embedded image, overlay).
#include <cstdio>
#include <string>
#include <vector>

#include "pe_exercise.h"
#include "pe_image_builder.h"

namespace {

using petest::PeImageBuilder;

void Write(const std::string& dir, const std::string& name, const std::vector<uint8_t>& bytes) {
    const std::string path = dir + "/" + name;
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return;
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <folder>\n", argv[0]);
        return 2;
    }
    const std::string dir = argv[1];
    const std::vector<uint8_t> msvc = {0x55, 0x8B, 0xEC, 0x6A, 0xFF, 0x68, 0x68, 0x64, 0xA1,
                                       0,    0,    0,    0,    0x50, 0x64, 0x89, 0x25, 0,
                                       0,    0,    0,    0x83, 0xEC, 0x53, 0x56, 0x57};
    const std::vector<uint8_t> upx = {0x60, 0xBE, 0x00, 0x10, 0x40, 0x00, 0x8D, 0xBE, 0x00,
                                      0x00, 0xFF, 0xFF, 0x57, 0x83, 0xCD, 0xFF, 0xEB, 0x10};
    const std::vector<uint8_t> small = PeImageBuilder().EntryBytes({0xC3}).Build();
    Write(dir, "minimal.exe", small);
    Write(dir, "imports.exe",
          PeImageBuilder()
              .EntryBytes(msvc)
              .AddImport({"KERNEL32.dll", {{"ExitProcess", 1}, {"", 0, true, 7}, {"Sleep", 2}}})
              .AddImport({"USER32.dll", {{"MessageBoxA", 3}}})
              .Build());
    Write(dir, "resources.exe",
          PeImageBuilder()
              .EntryBytes(upx)
              .AddIcon(1, petest::MakeIconImage(16, 0x30))
              .AddGroupIcon(2, {1})
              .AddVersionInfo("Copyright (C) nobody")
              .AddResource({10, {}}, {0, "NAMED"}, {1, 2, 3, 4})
              .AddResource({0, "CUSTOM"}, {5, {}}, {5, 6, 7})
              .Build());
    Write(dir, "dropper.exe",
          PeImageBuilder()
              .EntryBytes({0x6A, 0x00, 0xE8, 1, 2, 3, 4, 0xA3, 0, 0, 0, 0, 0x00})
              .Overlay(small)
              .Build());
    Write(dir, "strings.exe",
          PeImageBuilder()
              .EntryBytes({0xC3})
              .AddSection(
                  {".data", std::vector<uint8_t>({'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l',
                                                  'd', 0,   'a', '@', 'b', '.', 'c', 'o', 'm', 0})})
              .Build());
    // An analyst's database in front of an image whose entry code one of its rows names.
    const std::string database =
        "\xEF\xBB\xBF; rows\r\n[Push and call -> test]\r\nsignature = 6A 00 E8 ?? ?? ?? ?? A3\r\n"
        "ep_only = true\r\n[Half]\nsignature = 6? 00\nep_only = true\n[Not at entry]\n"
        "signature = 90 90\nep_only = false\n[Later]\nsignature = ?? ?? ?? 01 02\nep_only = true\n";
    const std::vector<uint8_t> packed =
        PeImageBuilder().EntryBytes({0x6A, 0x00, 0xE8, 1, 2, 3, 4, 0xA3, 0, 0, 0, 0, 0xC3}).Build();
    std::vector<uint8_t> input(database.begin(), database.end());
    input.insert(input.begin(), kSignatureInputMarker,
                 kSignatureInputMarker + sizeof(kSignatureInputMarker) - 1);
    input.insert(input.end(), kSignatureImageSeparator,
                 kSignatureImageSeparator + sizeof(kSignatureImageSeparator) - 1);
    input.insert(input.end(), packed.begin(), packed.end());
    Write(dir, "signatures.sig", input);
    return 0;
}
