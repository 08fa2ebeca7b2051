#!/usr/bin/python3
"""Builds the release a second time, from a copy of the sources in a folder of another name and
in another time zone, and compares it byte for byte with build/release/Hushvane.exe: the same
sources must give the same executable wherever and whenever they are built."""
import os
import shutil
import struct
import subprocess
import sys
import time

import pefile

TOP = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
FIRST = os.path.join(TOP, "build", "release", "Hushvane.exe")
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


def main():
    started = time.monotonic()
    shutil.rmtree(COPY, ignore_errors=True)
    # The sources alone: not the build trees, nor the repository.
    skipped = {os.path.join(TOP, "build"), os.path.join(TOP, ".git")}
    shutil.copytree(TOP, COPY, ignore=lambda folder, names:
                    {name for name in names if os.path.join(folder, name) in skipped})
    build = subprocess.run(["sh", os.path.join(COPY, "scripts", "build-release.sh")],
                           env=dict(os.environ, TZ="XYZ-13:45"), capture_output=True, text=True)
    if build.returncode != 0:
        print(build.stdout + build.stderr + "FAILED: the second release build did not finish")
        return 1
    second = os.path.join(COPY, "build", "release", "Hushvane.exe")
    with open(FIRST, "rb") as a, open(second, "rb") as b:
        first_bytes, second_bytes = a.read(), b.read()
    seconds = round(time.monotonic() - started)
    if first_bytes == second_bytes:
        print(f"Release reproduced byte for byte from {COPY} ({seconds} s)")
        return 0
    pe = pefile.PE(data=first_bytes)
    offsets = [i for i in range(max(len(first_bytes), len(second_bytes)))
               if first_bytes[i:i + 1] != second_bytes[i:i + 1]]
    print(f"FAILED: a second build of the same sources differs from {FIRST} in {len(offsets)} "
          f"bytes ({len(first_bytes)} and {len(second_bytes)} bytes long):")
    for i in offsets[:20]:
        print(f"  0x{i:05x} {where(pe, i)}: {first_bytes[i:i + 1].hex() or '--'} and "
              f"{second_bytes[i:i + 1].hex() or '--'}")
    if len(offsets) > 20:
        print(f"  and {len(offsets) - 20} more")
    return 1


if __name__ == "__main__":
    sys.exit(main())
