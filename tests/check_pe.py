#!/usr/bin/python3
"""Checks the built executables' headers, imports and resources; prints what it found."""
import os
import sys

import pefile

LANG_ZH_CN = 0x0804
LANG_EN_US = 0x0409
COMMON_STRINGS = {
    "CompanyName": "Hushvane developers",
    "FileVersion": "1.1.0.0",
    "LegalCopyright": "Copyright (C) 2026 Hushvane developers",
    "ProductName": "Mirelune",
    "ProductVersion": "1.1.0.0",
}
# What each executable must be: subsystem, the DLLs it may import, the language of its
# resources, its version strings and the most bytes it may take.
EXPECTED = {
    "Hushvane.exe": {
        "subsystem": 2,
        "imports": {"kernel32.dll", "user32.dll", "ole32.dll", "shell32.dll", "shlwapi.dll",
                    "msvcrt.dll"},
        "language": LANG_ZH_CN,
        "strings": dict(COMMON_STRINGS, FileDescription="Mirelune", InternalName="Hushvane.exe",
                        OriginalFilename="Hushvane.exe"),
        "max_size": 32 * 1024,
    },
    "HushvaneSessions.exe": {
        "subsystem": 3,
        "imports": {"kernel32.dll", "user32.dll", "ole32.dll", "shell32.dll", "shlwapi.dll",
                    "msvcrt.dll"},
        "language": LANG_EN_US,
        "strings": dict(COMMON_STRINGS, FileDescription="Hushvane sessions: shows what Hushvane "
                        "sees, unmutes what it left muted", InternalName="HushvaneSessions.exe",
                        OriginalFilename="HushvaneSessions.exe"),
        "max_size": 60 * 1024,
    },
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


def check_image(path):
    """Checks one executable; returns the image data of its icon."""
    name = os.path.basename(path)
    expected = EXPECTED[name]
    language = expected["language"]
    pe = pefile.PE(path)
    opt = pe.OPTIONAL_HEADER
    check(pe.FILE_HEADER.Machine == 0x14C, "not an i386 image")
    check(opt.Magic == 0x10B, "not PE32")
    check(opt.Subsystem == expected["subsystem"], f"subsystem {opt.Subsystem}")
    size = os.path.getsize(path)
    check(expected["max_size"] is None or size <= expected["max_size"],
          f"{size} bytes, more than {expected['max_size']}")
    check((opt.MajorSubsystemVersion, opt.MinorSubsystemVersion) == (6, 0), "subsystem not 6.0")
    check((opt.MajorOperatingSystemVersion, opt.MinorOperatingSystemVersion) == (6, 0),
          "OS version not 6.0")
    # A link time would make every build differ from the last.
    check(pe.FILE_HEADER.TimeDateStamp == 0,
          f"link time stamp {pe.FILE_HEADER.TimeDateStamp:#x} written, not 0")
    check(pe.FILE_HEADER.PointerToSymbolTable == 0 and
          not any(s.Name.startswith(b".debug") for s in pe.sections), "not stripped")

    imports = sorted(entry.dll.decode() for entry in pe.DIRECTORY_ENTRY_IMPORT)
    check({name.lower() for name in imports} <= expected["imports"],
          f"unexpected imports {imports}")
    check("SHLWAPI.dll".lower() in {name.lower() for name in imports}, "SHLWAPI not imported")

    groups = resources(pe, pefile.RESOURCE_TYPE["RT_GROUP_ICON"])
    check([(g[0], g[1]) for g in groups] == [(101, language)], f"icon groups {groups}")
    if groups:
        data = groups[0][2]
        count = int.from_bytes(data[4:6], "little")
        width, height = data[6], data[7]
        bits = int.from_bytes(data[12:14], "little")
        check((count, width, height, bits) == (1, 48, 48, 32),
              f"icon group holds {count} image(s), first {width}x{height} at {bits} bits")
    icons = resources(pe, pefile.RESOURCE_TYPE["RT_ICON"])
    check(len(icons) == 1 and icons[0][1] == language, f"one icon image in {language:#06x}")

    versions = resources(pe, pefile.RESOURCE_TYPE["RT_VERSION"])
    check([v[1] for v in versions] == [language], f"version record not in {language:#06x}")
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
    check([key.lower() for key in tables] == [f"{language:04x}04b0"],
          f"string tables {list(tables)}")
    strings = next(iter(tables.values()), {})
    check(strings == expected["strings"], f"version strings {strings}")
    check(translations == [f"{language:#06x} 0x04b0"], f"translations {translations}")

    print(f"{name}: {size} bytes, imports {', '.join(imports)}")
    return icons[0][2] if icons else None


def main(paths):
    icons = []
    for path in paths:
        first_failure = len(failures)
        icons.append(check_image(path))
        failures[first_failure:] = [f"{os.path.basename(path)}: {failure}"
                                    for failure in failures[first_failure:]]
    check(len(set(icons)) == 1, "the executables do not carry the same icon")
    for failure in failures:
        print("FAILED:", failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
