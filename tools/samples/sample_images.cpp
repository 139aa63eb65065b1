#include "sample_images.h"

#include "pe_image_builder.h"

namespace {

using petest::ImportDll;
using petest::PeImageBuilder;
using petest::Section;

std::vector<uint8_t> Text(const std::string& text) {
    std::vector<uint8_t> bytes(text.begin(), text.end());
    bytes.push_back(0);
    return bytes;
}

// push ebp / mov ebp, esp / xor eax, eax / pop ebp / ret
const std::vector<uint8_t> kSmallEntry = {0x55, 0x8B, 0xEC, 0x33, 0xC0, 0x5D, 0xC3};

// A payload as a dropper carries it: a complete program of its own.
std::vector<uint8_t> Payload() {
    return PeImageBuilder()
        .EntryBytes(kSmallEntry)
        .AddImport({"KERNEL32.dll", {{"WinExec"}, {"ExitProcess"}}})
        .Build();
}

SampleImage Dropper() {
    // Few imports, among them the loader and process calls a dropper needs, a
    // section with a made-up name, a contact address and a second program appended.
    std::vector<uint8_t> data = Text("dropper config v2; report to drop.master@example.com");
    return {"dropper.exe",
            PeImageBuilder()
                .EntryBytes(kSmallEntry)
                .AddSection({".crypt", data, 0, 0, 0, petest::kAuto, petest::kSectionData})
                .AddImport({"KERNEL32.dll",
                            {{"GetProcAddress"}, {"LoadLibraryA"}, {"CreateProcessA"}, {"Sleep"}}})
                .Overlay(Payload())
                .Build()};
}

SampleImage LookAlike() {
    // Named like the service host with a zero for the "o"; small, importing thread and
    // loader calls, with an icon and a contact address.
    std::vector<uint8_t> data = Text("update channel: svc.update@mirror.example.net");
    return {"svch0st.exe",
            PeImageBuilder()
                .EntryBytes(kSmallEntry)
                .AddSection({".data", data, 0, 0, 0, petest::kAuto, petest::kSectionData})
                .AddImport({"KERNEL32.dll",
                            {{"GetProcAddress"}, {"LoadLibraryA"}, {"CreateThread"}, {"Sleep"}}})
                .AddIcon(1, petest::MakeIconImage(32, 0x5A))
                .AddGroupIcon(100, {1})
                .Build()};
}

SampleImage DoubleExtension() {
    // A program dressed as a document: the classic mail attachment.
    return {"report.doc.exe",
            PeImageBuilder()
                .EntryBytes(kSmallEntry)
                .AddImport({"KERNEL32.dll", {{"CreateProcessA"}, {"Sleep"}, {"ExitProcess"}}})
                .Build()};
}

SampleImage Ordinary() {
    // A plain windowed program: many imports, none from the listed set, the usual
    // sections and a version resource.
    ImportDll kernel{"KERNEL32.dll",
                     {{"GetModuleHandleA"},
                      {"GetCommandLineA"},
                      {"ExitProcess"},
                      {"GetStartupInfoA"},
                      {"HeapAlloc"},
                      {"HeapFree"},
                      {"GetProcessHeap"}}};
    ImportDll user{"USER32.dll",
                   {{"RegisterClassA"},
                    {"CreateWindowExA"},
                    {"DefWindowProcA"},
                    {"ShowWindow"},
                    {"UpdateWindow"},
                    {"GetMessageA"},
                    {"TranslateMessage"},
                    {"DispatchMessageA"},
                    {"PostQuitMessage"},
                    {"LoadCursorA"}}};
    return {"textpad.exe", PeImageBuilder()
                               .EntryBytes(kSmallEntry)
                               .AddSection({".rdata", Text("TextPad window class"), 0, 0, 0,
                                            petest::kAuto, petest::kSectionReadOnly})
                               .AddSection({".data", Text("Untitled - TextPad"), 0, 0, 0,
                                            petest::kAuto, petest::kSectionData})
                               .AddImport(kernel)
                               .AddImport(user)
                               .AddVersionInfo("Copyright (C) 2026 Example Works")
                               .Build()};
}

}  // namespace

std::vector<SampleImage> DemonstrationSamples() {
    return {Dropper(), LookAlike(), DoubleExtension(), Ordinary()};
}
