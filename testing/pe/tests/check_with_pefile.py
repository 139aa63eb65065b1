#!/usr/bin/python3
"""Reads the images written by pe_sample_writer back with pefile and checks that an
independent parser sees the headers, sections, imports, resources and overlay the
builder meant to write.

usage: check_with_pefile.py WRITER OUTPUT_DIR
"""
import os
import struct
import subprocess
import sys

import pefile

failures = []


def check(condition, what):
    if not condition:
        failures.append(what)


def equal(actual, expected, what):
    check(actual == expected, f"{what}: got {actual!r}, expected {expected!r}")


def load(directory, name):
    pe = pefile.PE(os.path.join(directory, name))
    # Byte-statistics and "packed-looking imports" warnings are heuristics about real
    # programs; tiny test images always trip them. Anything else means a layout fault.
    warnings = [w for w in pe.get_warnings()
                if "makes up" not in w and "typical of packed" not in w]
    equal(warnings, [], f"{name} pefile warnings")
    return pe


def section_by_name(pe, name):
    for s in pe.sections:
        if s.Name == name:
            return s
    return None


def icon_image(size, shade):
    """A 32-bit DIB icon: BITMAPINFOHEADER, pixels of one shade, zero AND mask."""
    mask_stride = (size + 31) // 32 * 4
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0,
                         size * size * 4 + mask_stride * size, 0, 0, 0, 0)
    return header + bytes([shade, shade, shade, 0xFF]) * (size * size) + bytes(mask_stride * size)


def resource_tree(pe):
    """{type: {name: {language: bytes}}} with ids as ints and names as str."""
    def key(entry):
        return str(entry.name) if entry.name is not None else entry.id

    tree = {}
    for t in pe.DIRECTORY_ENTRY_RESOURCE.entries:
        names = tree.setdefault(key(t), {})
        for n in t.directory.entries:
            languages = names.setdefault(key(n), {})
            for lang in n.directory.entries:
                languages[lang.id] = pe.get_data(lang.data.struct.OffsetToData,
                                                 lang.data.struct.Size)
    return tree


def check_headers(pe, name, sections, entry, image_size, headers_size):
    equal(pe.DOS_HEADER.e_magic, 0x5A4D, f"{name} MZ")
    equal(pe.NT_HEADERS.Signature, 0x4550, f"{name} PE signature")
    equal(pe.FILE_HEADER.Machine, 0x14C, f"{name} machine")
    equal(pe.FILE_HEADER.NumberOfSections, sections, f"{name} section count")
    equal(pe.OPTIONAL_HEADER.Magic, 0x10B, f"{name} magic")
    equal(pe.OPTIONAL_HEADER.AddressOfEntryPoint, entry, f"{name} entry point")
    equal(pe.OPTIONAL_HEADER.SizeOfImage, image_size, f"{name} SizeOfImage")
    equal(pe.OPTIONAL_HEADER.SizeOfHeaders, headers_size, f"{name} SizeOfHeaders")
    equal(pe.OPTIONAL_HEADER.NumberOfRvaAndSizes, 16, f"{name} directory count")


def check_plain(d):
    pe = load(d, "plain.exe")
    check_headers(pe, "plain", 1, 0x1000, 0x2000, 0x200)
    equal(pe.DOS_HEADER.e_lfanew, 0x80, "plain e_lfanew")
    equal(pe.FILE_HEADER.Characteristics, 0x0102, "plain characteristics")
    equal(pe.OPTIONAL_HEADER.ImageBase, 0x400000, "plain image base")
    equal(pe.OPTIONAL_HEADER.Subsystem, 2, "plain subsystem")
    equal(pe.OPTIONAL_HEADER.SizeOfCode, 0x200, "plain SizeOfCode")
    check(pe.is_exe() and not pe.is_dll(), "plain is an exe")
    text = pe.sections[0]
    equal(text.Name, b".text\0\0\0", "plain section name")
    equal((text.VirtualAddress, text.Misc_VirtualSize, text.PointerToRawData,
           text.SizeOfRawData, text.Characteristics), (0x1000, 3, 0x200, 0x200, 0x60000020),
          "plain .text")
    equal(pe.get_data(0x1000, 3), b"\x33\xC0\xC3", "plain entry bytes")
    equal(len(pe.__data__), 0x400, "plain file size")
    equal(pe.get_overlay_data_start_offset(), None, "plain has no overlay")


def check_dll(d):
    pe = load(d, "library.dll")
    check(pe.is_dll(), "library.dll has the DLL bit")
    equal(pe.FILE_HEADER.Characteristics, 0x2102, "dll characteristics")
    equal(pe.OPTIONAL_HEADER.ImageBase, 0x10000000, "dll image base")
    equal(pe.OPTIONAL_HEADER.Subsystem, 3, "dll subsystem")
    equal(pe.get_data(pe.OPTIONAL_HEADER.AddressOfEntryPoint, 8),
          b"\xB8\x01\x00\x00\x00\xC2\x0C\x00", "dll entry bytes")


def check_imports(d):
    pe = load(d, "imports.exe")
    check_headers(pe, "imports", 2, 0x1000, 0x3000, 0x200)
    idata = section_by_name(pe, b".idata\0\0")
    check(idata is not None, "imports: .idata section present")
    imp_dir = pe.OPTIONAL_HEADER.DATA_DIRECTORY[1]
    iat_dir = pe.OPTIONAL_HEADER.DATA_DIRECTORY[12]
    equal((imp_dir.VirtualAddress, imp_dir.Size), (0x2000, 4 * 20), "import directory")
    equal((iat_dir.VirtualAddress, iat_dir.Size), (0x2000 + 80 + 36, 36), "IAT directory")
    seen = []
    for entry in pe.DIRECTORY_ENTRY_IMPORT:
        for imp in entry.imports:
            # pefile fills in names of well-known ordinals itself; only the thunk counts.
            name = None if imp.import_by_ordinal else imp.name
            seen.append((entry.dll, name, imp.hint, imp.ordinal, imp.import_by_ordinal,
                         imp.address))
    iat = 0x400000 + 0x2000 + 80 + 36
    equal(seen, [
        (b"KERNEL32.dll", b"GetProcAddress", 0x1A2, None, False, iat),
        (b"KERNEL32.dll", b"LoadLibraryA", 5, None, False, iat + 4),
        (b"WS2_32.dll", None, None, 23, True, iat + 12),
        (b"WS2_32.dll", None, None, 115, True, iat + 16),
        (b"user32.dll", b"MessageBoxA", 0x28F, None, False, iat + 24),
        (b"user32.dll", None, None, 2000, True, iat + 28),
    ], "imports")
    # The ILT and the IAT must agree before binding.
    for entry in pe.DIRECTORY_ENTRY_IMPORT:
        equal(entry.struct.TimeDateStamp, 0, f"{entry.dll} not bound")
        ilt = pe.get_data(entry.struct.OriginalFirstThunk, 4 * (len(entry.imports) + 1))
        iat_bytes = pe.get_data(entry.struct.FirstThunk, 4 * (len(entry.imports) + 1))
        equal(ilt, iat_bytes, f"{entry.dll} ILT equals IAT")
        equal(ilt[-4:], b"\0\0\0\0", f"{entry.dll} thunk list ends with zero")


def check_icons(d):
    pe = load(d, "icons.exe")
    tree = resource_tree(pe)
    equal(sorted(tree), [3, 14], "icon resource types")
    equal(tree[3], {1: {0x409: icon_image(16, 0x40)}, 2: {0x409: icon_image(32, 0x80)}},
          "icon images")
    group = tree[14][101][0x409]
    equal(group[:6], struct.pack("<HHH", 0, 1, 2), "GRPICONDIR header")
    entries = [struct.unpack_from("<BBBBHHIH", group, 6 + 14 * i) for i in range(2)]
    equal(entries, [(16, 16, 0, 0, 1, 32, len(icon_image(16, 0x40)), 1),
                    (32, 32, 0, 0, 1, 32, len(icon_image(32, 0x80)), 2)], "GRPICONDIRENTRY")
    equal(len(group), 6 + 2 * 14, "group icon size")
    rsrc = pe.OPTIONAL_HEADER.DATA_DIRECTORY[2]
    section = section_by_name(pe, b".rsrc\0\0\0")
    check(section is not None and section.VirtualAddress == rsrc.VirtualAddress,
          "resource directory starts the .rsrc section")


def check_version(d):
    pe = load(d, "version.exe")
    equal(list(resource_tree(pe).get(16, {})), [1], "version resource id")
    fixed = pe.VS_FIXEDFILEINFO[0]
    equal(fixed.Signature, 0xFEEF04BD, "VS_FIXEDFILEINFO signature")
    equal((fixed.FileVersionMS, fixed.FileVersionLS), (0x10000, 0), "file version")
    strings, translations = {}, []
    for info in pe.FileInfo[0]:
        if info.Key == b"StringFileInfo":
            for table in info.StringTable:
                strings[table.LangID] = dict(table.entries)
        elif info.Key == b"VarFileInfo":
            for var in info.Var:
                translations.append(var.entry)
    equal(strings, {b"040904b0": {b"LegalCopyright": b"Copyright (C) 2026 Example Works"}},
          "StringFileInfo")
    equal(translations, [{b"Translation": "0x0409 0x04b0"}], "VarFileInfo")
    raw = resource_tree(pe)[16][1][0x409]
    equal(struct.unpack_from("<HHH", raw), (len(raw), 52, 0), "VS_VERSIONINFO header")
    check("LegalCopyright".encode("utf-16-le") in raw, "LegalCopyright key is UTF-16")


def check_named(d):
    pe = load(d, "named.exe")
    tree = resource_tree(pe)
    equal(tree, {
        "MYTYPE": {"Config": {0x407: b"cfg-1", 0x409: b"cfg-2"}, 5: {0x409: b"five"}},
        10: {"zeta": {0x409: b"rcdata-zeta"}, 7: {0x409: b"rcdata-7"}},
    }, "named resources")
    root = pe.DIRECTORY_ENTRY_RESOURCE
    equal((root.struct.NumberOfNamedEntries, root.struct.NumberOfIdEntries), (1, 1), "root counts")
    first = root.entries[0]
    check(first.struct.Name & 0x80000000, "named type entry has the high bit")
    name_offset = first.struct.Name & 0x7FFFFFFF
    rva = pe.OPTIONAL_HEADER.DATA_DIRECTORY[2].VirtualAddress
    equal(pe.get_data(rva + name_offset, 2 + 12), struct.pack("<H", 6) + "MYTYPE".encode(
        "utf-16-le"), "length-prefixed UTF-16 type name")
    for t in root.entries:
        for n in t.directory.entries:
            for lang in n.directory.entries:
                check(lang.data.struct.OffsetToData % 4 == 0, "resource data aligned")


def check_overlay(d):
    pe = load(d, "overlay.exe")
    equal(pe.get_overlay_data_start_offset(), 0x400, "overlay offset")
    equal(pe.get_overlay(), b"OVERLAY-PAYLOAD", "overlay bytes")
    last = pe.sections[-1]
    equal(last.PointerToRawData + last.SizeOfRawData, 0x400, "overlay follows the last section")


def check_lfanew(d):
    pe = load(d, "lfanew.exe")
    equal(pe.DOS_HEADER.e_lfanew, 0x105, "odd e_lfanew")
    check_headers(pe, "lfanew", 1, 0x1000, 0x2000, 0x400)
    equal(pe.sections[0].PointerToRawData, 0x400, "lfanew first raw data after headers")
    equal(pe.get_data(0x1000, 2), b"\x90\xC3", "lfanew entry bytes")


def check_optional_header_size(d):
    pe = load(d, "opthdr.exe")
    equal(pe.FILE_HEADER.SizeOfOptionalHeader, 0xF0, "optional header size")
    check_headers(pe, "opthdr", 2, 0x2000, 0x3000, 0x200)
    equal([s.Name for s in pe.sections], [b"DATA\0\0\0\0", b".text\0\0\0"],
          "sections found after a larger optional header")
    equal(pe.sections[0].get_data()[:0x30], bytes(range(1, 0x31)), "DATA contents")
    equal(pe.get_data(0x2000, 1), b"\xC3", "opthdr entry bytes")


def check_sections(d):
    pe = load(d, "sections.exe")
    check_headers(pe, "sections", 5, 0x1010, 0xA000, 0x400)
    got = [(s.Name, s.VirtualAddress, s.Misc_VirtualSize, s.PointerToRawData, s.SizeOfRawData,
            s.Characteristics) for s in pe.sections]
    equal(got, [
        (b"\0" * 8, 0x1000, 0x40, 0x400, 0x200, 0x60000020),
        (b"12345678", 0x2000, 0x210, 0x600, 0x400, 0xC0000040),
        (b"abcdefgh", 0x3000, 0x3000, 0, 0, 0xC0000080),
        (b".t x\0\0\0\0", 0x8000, 8, 0xA00, 0x200, 0x40000040),
        (b"odd\x01\0\0\0\0", 0x9000, 0x100, 0x1000, 0x200, 0x40000040),
    ], "section table")
    code = bytes((0x10 + i) & 0xFF for i in range(0x40))
    equal(pe.get_data(0x1000, 0x40), code[:0x10] + b"\xCC\xC3" + code[0x12:],
          "entry bytes written into the covering section")
    equal(pe.get_data(0x8000, 8), bytes(range(0xA0, 0xA8)), ".t x contents")
    equal(pe.get_data(0x9000, 4), bytes(range(0xF0, 0xF4)), "odd contents at explicit offset")
    opt = pe.OPTIONAL_HEADER
    equal((opt.SizeOfCode, opt.SizeOfInitializedData, opt.SizeOfUninitializedData,
           opt.BaseOfCode, opt.BaseOfData), (0x200, 0x800, 0x3000, 0x1000, 0x2000),
          "optional header sizes")
    equal(len(pe.__data__), 0x1200, "sections file size")


def main():
    if len(sys.argv) != 3:
        print(__doc__, file=sys.stderr)
        return 2
    writer, directory = sys.argv[1], sys.argv[2]
    os.makedirs(directory, exist_ok=True)
    subprocess.run([writer, directory], check=True)
    checks = [check_plain, check_dll, check_imports, check_icons, check_version, check_named,
              check_overlay, check_lfanew, check_optional_header_size, check_sections]
    for fn in checks:
        try:
            fn(directory)
        except Exception as e:  # a parse failure fails this sample, not the run
            failures.append(f"{fn.__name__}: {type(e).__name__}: {e}")
    for f in failures:
        print("FAIL", f)
    print(f"{len(checks)} samples checked, {len(failures)} failures")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
