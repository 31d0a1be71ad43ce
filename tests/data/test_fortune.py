#!/usr/bin/python3
"""Checks the fortune-stick text the installer writes as "抽签数据.ini".

The source payload/data/fortune.txt holds one record per line; the build joins
the lines and encodes them to GBK with payload/gbk_encode.py --join-lines.
This check runs that same encoder and then looks at the bytes the program
carries and at the file it writes from them ("[enter]" -> CR LF).

Run: /usr/bin/python3 tests/data/test_fortune.py [SOURCE]
SOURCE defaults to payload/data/fortune.txt (pass another file to try a
damaged copy). Prints one line per check and a summary "N passed, M failed";
exits 1 when any check fails.
"""

import importlib.util
import os
import re
import sys
import tempfile
from checklib import check, finish  # beside this file

sys.dont_write_bytecode = True      # keep payload/ free of __pycache__

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
ENCODER = os.path.join(ROOT, "payload", "gbk_encode.py")
SOURCE = os.path.join(ROOT, "payload", "data", "fortune.txt")

CARRIED_SIZE = 62845        # bytes of the carried text
MARKERS = 2460              # "[enter]" markers in it
WRITTEN_SIZE = 50545        # bytes of the written file
RECORDS = 384
EXTRA_RECORDS = 78          # records with a line besides section, verse, reading
MARK = b"[enter]"
DIGITS = "○一二三四五六七八九"
SECTION = re.compile(r"^\[第([○一二三四五六七八九]{3})签\]$")
# Characters whose mapping differs between code-page tables; the text must not
# depend on which one the host uses.
AMBIGUOUS = "—―·…‘’“”～〜•¢£¬¦"

RECORD_1 = ("[第○○一签][enter][enter]签诗=天门一挂榜，预定夺标人，马嘶芳草地，秋高听鹿鸣。"
            "[enter][enter]解签=大吉，事业、财运、健康、婚姻均顺遂。[enter][enter]")
RECORD_2 = ("[第○○二签][enter][enter]签诗=地有神，甚威灵，兴邦辅国，尊主庇民。[enter][enter]"
            "解签=神护签，言行循规蹈矩，事业上必有贵人相助，婚姻得人，健康亦佳。[enter][enter]")





def chinese_number(n):
    return "".join(DIGITS[int(d)] for d in "%03d" % n)


def build(source):
    """The carried bytes, made by the build's own encoder."""
    found = importlib.util.spec_from_file_location("gbk_encode", ENCODER)
    mod = importlib.util.module_from_spec(found)
    found.loader.exec_module(mod)
    with tempfile.TemporaryDirectory() as tmp:
        out = os.path.join(tmp, "fortune.bin")
        rc = mod.main(["--join-lines", out, source])
        assert rc == 0, "gbk_encode.py returned %r" % rc
        with open(out, "rb") as f:
            return f.read()


source = sys.argv[1] if len(sys.argv) > 1 else SOURCE
carried = None


@check("source encodes with the build's encoder")
def _():
    global carried
    with open(source, "rb") as f:
        raw = f.read()
    assert b"\r" not in raw, "the source holds a CR byte"
    assert raw.endswith(b"\n") and not raw.endswith(b"\n\n"), \
        "the source must end with one LF after the last record"
    text = raw.decode("utf-8")
    bad = sorted(set(c for c in text if c in AMBIGUOUS))
    assert not bad, "characters with an ambiguous code-page mapping: %s" % " ".join(bad)
    try:
        carried = build(source)
    except SystemExit as exc:       # the encoder's own refusal
        raise AssertionError(str(exc))
    assert b"\r" not in carried and b"\n" not in carried, \
        "the carried text holds a real line break (CR or LF byte)"
    assert carried.decode("gbk").encode("gbk") == carried, "the GBK bytes do not round-trip"
    return "%d source lines" % raw.count(b"\n")


if carried is None:
    finish()

written = carried.replace(MARK, b"\r\n")
text = written.decode("gbk")


@check("sizes")
def _():
    problems = []
    if len(carried) != CARRIED_SIZE:
        problems.append("carried text is %d bytes, want %d" % (len(carried), CARRIED_SIZE))
    if carried.count(MARK) != MARKERS:
        problems.append("%d [enter] markers, want %d" % (carried.count(MARK), MARKERS))
    if len(written) != WRITTEN_SIZE:
        problems.append("written file is %d bytes, want %d" % (len(written), WRITTEN_SIZE))
    assert not problems, "; ".join(problems)
    return "%d bytes, %d markers, %d bytes written" % (len(carried), carried.count(MARK), len(written))


def split_records():
    """Records as lists of lines (the written file split at CR LF)."""
    assert "[enter]" not in text, "a marker is left after the replacement"
    lines = text.split("\r\n")
    assert SECTION.match(lines[0]), "the text does not begin with a section line: %r" % lines[0][:20]
    records = []
    for line in lines:
        if SECTION.match(line):
            records.append([line])
        else:
            records[-1].append(line)
    return records


@check("384 sections numbered in order")
def _():
    records = split_records()
    names = [r[0] for r in records]
    assert len(names) == RECORDS, "%d sections, want %d" % (len(names), RECORDS)
    for n, name in enumerate(names, start=1):
        want = "[第%s签]" % chinese_number(n)
        assert name == want, "section %d is %s, want %s" % (n, name, want)
    assert len(set(names)) == RECORDS, "a section name repeats"
    return "%s .. %s" % (names[0], names[-1])


@check("record layout")
def _():
    records = split_records()
    singles = []
    for n, rec in enumerate(records, start=1):
        body = "\r\n".join(rec)
        assert body.count("签诗=") == 1 and body.count("解签=") == 1, \
            "record %d: %d 签诗= and %d 解签=" % (n, body.count("签诗="), body.count("解签="))
        filled = [i for i, line in enumerate(rec) if line]
        assert rec[filled[1]].startswith("签诗="), "record %d: the line after the section is not 签诗=" % n
        verse = [i for i in filled if rec[i].startswith("签诗=")][0]
        reading = [i for i in filled if rec[i].startswith("解签=")][0]
        assert verse < reading, "record %d: 解签= comes before 签诗=" % n
        assert len(rec[verse]) > 3 and len(rec[reading]) > 3, "record %d: empty verse or reading" % n
        for a, b in zip(filled, filled[1:]):
            gap = b - a - 1             # empty lines between two text lines
            assert gap <= 1, "record %d: %d empty lines in a row" % (n, gap)
            if gap == 0:
                singles.append(n)
        trailing = len(rec) - 1 - filled[-1]
        if n < RECORDS:
            assert trailing == 1, "record %d is not followed by exactly one empty line" % n
    # Between two breaks and one: a handful of records keep a single break.
    assert 1 <= len(singles) <= 6, "%d places with a single line break (records %s)" % (
        len(singles), singles[:10])
    return "single line break in records %s" % ", ".join(map(str, singles))


@check("text ends with one line break")
def _():
    assert carried.endswith(MARK), "the text does not end with [enter]"
    assert not carried.endswith(MARK + MARK), "the text ends with more than one [enter]"
    assert carried[: -len(MARK)].endswith("。".encode("gbk")), "the last reading is not closed by 。"


@check("records 1 and 2")
def _():
    gbk1, gbk2 = RECORD_1.encode("gbk"), RECORD_2.encode("gbk")
    assert carried.startswith(gbk1), "record 1 differs from the release text"
    assert carried[len(gbk1):].startswith(gbk2), "record 2 differs from the release text"


@check("extra lines")
def _():
    records = split_records()
    with_extra = []
    indented = total = 0
    for n, rec in enumerate(records, start=1):
        extra = [line for line in rec[1:]
                 if line and not line.startswith("签诗=") and not line.startswith("解签=")]
        if extra:
            with_extra.append(n)
        total += len(extra)
        indented += sum(1 for line in extra if line.startswith("\u3000\u3000\u3000"))
    assert len(with_extra) == EXTRA_RECORDS, "%d records carry an extra line, want %d" % (
        len(with_extra), EXTRA_RECORDS)
    assert indented * 2 > total, "only %d of %d extra lines begin with three U+3000" % (indented, total)
    return "%d records, %d lines, %d indented" % (len(with_extra), total, indented)


@check("verses and readings distinct")
def _():
    records = split_records()
    verses, readings = {}, {}
    for n, rec in enumerate(records, start=1):
        for line in rec:
            for key, seen in (("签诗=", verses), ("解签=", readings)):
                if line.startswith(key):
                    value = line[len(key):]
                    assert value not in seen, "record %d repeats the %s of record %d" % (
                        n, key[:-1], seen[value])
                    seen[value] = n
    assert len(verses) == RECORDS and len(readings) == RECORDS, \
        "%d verses and %d readings for %d records" % (len(verses), len(readings), RECORDS)
    return "%d verses, %d readings" % (len(verses), len(readings))


finish()
