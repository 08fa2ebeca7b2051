#!/usr/bin/python3
"""Checks the built executable's header, imports and resources; prints what it found."""
import os
import sys

import pefile

ALLOWED_IMPORTS = {"kernel32.dll", "user32.dll", "ole32.dll", "shell32.dll", "shlwapi.dll",
                   "msvcrt.dll"}
LANG_ZH_CN = 0x0804
EXPECTED_STRINGS = {
    "CompanyName": "Hushvane developers",
    "FileDescription": "Mirelune",
    "FileVersion": "1.1.0.0",
    "InternalName": "Hushvane.exe",
    "LegalCopyright": "Copyright (C) 2026 Hushvane developers",
    "OriginalFilename": "Hushvane.exe",
    "ProductName": "Mirelune",
    "ProductVersion": "1.1.0.0",
}

failures = []


def check(condition, message):
    if not condition:
        failures.append(message)


def resources(pe, type_id):
    """(id, language, data) of every resource of one type."""
    found = []
    for kind in pe.DIRECTORY_ENTRY_RESOURCE.entries:
        if kind.id != type_id:
            continue
        for name in kind.directory.entries:
            for lang in name.directory.entries:
                data = pe.get_data(lang.data.struct.OffsetToData, lang.data.struct.Size)
                found.append((name.id, lang.id, data))
    return found


def main(path):
    pe = pefile.PE(path)
    opt = pe.OPTIONAL_HEADER
    check(pe.FILE_HEADER.Machine == 0x14C, "not an i386 image")
    check(opt.Magic == 0x10B, "not PE32")
    check(opt.Subsystem == 2, "not the Windows GUI subsystem")
    check((opt.MajorSubsystemVersion, opt.MinorSubsystemVersion) == (6, 0), "subsystem not 6.0")
    check((opt.MajorOperatingSystemVersion, opt.MinorOperatingSystemVersion) == (6, 0),
          "OS version not 6.0")
    # A link time would make every build differ from the last.
    check(pe.FILE_HEADER.TimeDateStamp == 0,
          f"link time stamp {pe.FILE_HEADER.TimeDateStamp:#x} written, not 0")
    check(pe.FILE_HEADER.PointerToSymbolTable == 0 and
          not any(s.Name.startswith(b".debug") for s in pe.sections), "not stripped")

    imports = sorted(entry.dll.decode() for entry in pe.DIRECTORY_ENTRY_IMPORT)
    check({name.lower() for name in imports} <= ALLOWED_IMPORTS, f"unexpected imports {imports}")
    check("SHLWAPI.dll".lower() in {name.lower() for name in imports}, "SHLWAPI not imported")

    groups = resources(pe, pefile.RESOURCE_TYPE["RT_GROUP_ICON"])
    check([(g[0], g[1]) for g in groups] == [(101, LANG_ZH_CN)], f"icon groups {groups}")
    if groups:
        data = groups[0][2]
        count = int.from_bytes(data[4:6], "little")
        width, height = data[6], data[7]
        bits = int.from_bytes(data[12:14], "little")
        check((count, width, height, bits) == (1, 48, 48, 32),
              f"icon group holds {count} image(s), first {width}x{height} at {bits} bits")
    icons = resources(pe, pefile.RESOURCE_TYPE["RT_ICON"])
    check(len(icons) == 1 and icons[0][1] == LANG_ZH_CN, "one icon image in 0x0804")

    versions = resources(pe, pefile.RESOURCE_TYPE["RT_VERSION"])
    check([v[1] for v in versions] == [LANG_ZH_CN], "version record not in 0x0804")
    fixed = pe.VS_FIXEDFILEINFO[0]
    check((fixed.FileVersionMS, fixed.FileVersionLS) == (0x00010001, 0), "file version")
    check((fixed.ProductVersionMS, fixed.ProductVersionLS) == (0x00010001, 0), "product version")
    check(fixed.FileOS == 0x40004 and fixed.FileType == 1 and fixed.FileFlags == 0,
          "file OS, type or flags")
    tables = {}
    translations = []
    for info in pe.FileInfo[0]:
        if info.Key == b"StringFileInfo":
            for table in info.StringTable:
                tables[table.LangID.decode()] = {k.decode(): v.decode()
                                                 for k, v in table.entries.items()}
        if info.Key == b"VarFileInfo":
            for var in info.Var:
                value = var.entry.get(b"Translation", var.entry.get("Translation"))
                translations.append(value.decode() if isinstance(value, bytes) else value)
    check([key.lower() for key in tables] == ["080404b0"], f"string tables {list(tables)}")
    strings = next(iter(tables.values()), {})
    check(strings == EXPECTED_STRINGS, f"version strings {strings}")
    check(translations == ["0x0804 0x04b0"], f"translations {translations}")

    print(f"{os.path.basename(path)}: {os.path.getsize(path)} bytes, imports {', '.join(imports)}")
    for failure in failures:
        print("FAILED:", failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
