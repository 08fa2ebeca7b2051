#!/usr/bin/env python3
"""Fails where a line of the Chinese guide, outside code, ends with a Chinese character and the
next begins with one: Markdown keeps that line break, and browsers show it as a space inside a
Chinese sentence."""
import re
import sys

CHINESE = re.compile("[\u2018-\u201f\u3000-\u303f\u3400-\u9fff\uff00-\uffef]")
lines = open(sys.argv[1], encoding="utf-8").read().split("\n")
fenced = False
breaks = []
for number, (line, following) in enumerate(zip(lines, lines[1:]), 1):
    fenced ^= line.startswith("```")
    code = fenced or line.startswith("    ") or following.startswith("    ")
    if not code and CHINESE.match(line[-1:]) and CHINESE.match(following.lstrip()[:1]):
        breaks.append("%s:%d: a break between two Chinese characters" % (sys.argv[1], number))
print("\n".join(breaks) or "%s: no break between two Chinese characters" % sys.argv[1])
sys.exit(1 if breaks else 0)
