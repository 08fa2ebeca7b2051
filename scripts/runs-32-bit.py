#!/usr/bin/env python3
"""Exits 0 where this machine runs 32-bit x86 programs; otherwise prints why not and exits 1.

It runs a program of 93 bytes that only exits, so no 32-bit library is needed: the kernel alone
decides. Python starts it, as a shell would take a refused binary for a script and run that."""
import os
import struct
import subprocess
import sys
import tempfile

BASE = 0x08048000
CODE = bytes([0x31, 0xDB, 0xB8, 0x01, 0x00, 0x00, 0x00, 0xCD, 0x80])  # exit(0)
HEADER = struct.pack("<16sHHIIIIIHHHHHH", b"\x7fELF\x01\x01\x01", 2, 3, 1, BASE + 84, 52, 0, 0,
                     52, 32, 1, 0, 0, 0)
SEGMENT = struct.pack("<8I", 1, 0, BASE, BASE, 84 + len(CODE), 84 + len(CODE), 5, 0x1000)

with tempfile.NamedTemporaryFile(delete=False) as probe:
    probe.write(HEADER + SEGMENT + CODE)
try:
    os.chmod(probe.name, 0o700)
    subprocess.run([probe.name], check=True)
except (OSError, subprocess.CalledProcessError) as refusal:
    print(refusal)
    sys.exit(1)
finally:
    os.unlink(probe.name)
