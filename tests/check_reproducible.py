#!/usr/bin/python3
"""Builds the release a second time, from a copy of the sources in a folder of another name and
in another time zone, and compares each executable byte for byte with the one in build/release:
the same sources must give the same executables wherever and whenever they are built.

With "build" it only builds the copy, which can go on beside the first release build; with
"compare" it only compares, once both are done; with neither it does both."""
import os
import shutil
import struct
import subprocess
import sys

import pefile

TOP = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
EXECUTABLES = ["Hushvane.exe", "HushvaneSessions.exe"]
COPY = os.path.join(TOP, "build", "reproduce", "Hushvane-built-elsewhere")


def where(pe, offset):
    """The header field or the section that holds a byte of the image."""
    for header in (pe.FILE_HEADER, pe.OPTIONAL_HEADER):
        for (name,), code in zip(header.__keys__, header.__format_str__[1:]):
            start = header.get_field_absolute_offset(name)
            if start <= offset < start + struct.calcsize(code):
                return name
    section = pe.get_section_by_offset(offset)
    return section.Name.rstrip(b"\0").decode() if section else "headers"


def build():
    """Builds the copy; None when it built, else why not."""
    shutil.rmtree(COPY, ignore_errors=True)
    # The sources alone: not the build trees, nor the repository.
    skipped = {os.path.join(TOP, "build"), os.path.join(TOP, ".git")}
    shutil.copytree(TOP, COPY, ignore=lambda folder, names:
                    {name for name in names if os.path.join(folder, name) in skipped})
    made = subprocess.run(["sh", os.path.join(COPY, "scripts", "build-release.sh")],
                          env=dict(os.environ, TZ="XYZ-13:45"), capture_output=True, text=True)
    if made.returncode != 0:
        return made.stdout + made.stderr + "FAILED: the second release build did not finish"
    return None


def main(steps):
    if "build" in steps:
        failure = build()
        if failure is not None:
            print(failure)
            return 1
    if "compare" not in steps:
        return 0
    failed = [name for name in EXECUTABLES if not same(name)]
    if not failed:
        print(f"Release reproduced byte for byte from {COPY}: {', '.join(EXECUTABLES)}")
    return 1 if failed else 0


def same(name):
    """Compares one executable of both builds; lists the bytes that differ."""
    first = os.path.join(TOP, "build", "release", name)
    second = os.path.join(COPY, "build", "release", name)
    with open(first, "rb") as a, open(second, "rb") as b:
        first_bytes, second_bytes = a.read(), b.read()
    if first_bytes == second_bytes:
        return True
    pe = pefile.PE(data=first_bytes)
    offsets = [i for i in range(max(len(first_bytes), len(second_bytes)))
               if first_bytes[i:i + 1] != second_bytes[i:i + 1]]
    print(f"FAILED: a second build of the same sources differs from {first} in {len(offsets)} "
          f"bytes ({len(first_bytes)} and {len(second_bytes)} bytes long):")
    for i in offsets[:20]:
        print(f"  0x{i:05x} {where(pe, i)}: {first_bytes[i:i + 1].hex() or '--'} and "
              f"{second_bytes[i:i + 1].hex() or '--'}")
    if len(offsets) > 20:
        print(f"  and {len(offsets) - 20} more")
    return False


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:] or ["build", "compare"]))
