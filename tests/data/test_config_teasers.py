#!/usr/bin/python3
"""Checks the default plugin configuration ("插件配置.ini") and the brain-teaser
data ("急转弯.ini") that the installer carries.

Both are built from UTF-8 sources with payload/gbk_encode.py (no --join-lines):
  default_config.txt            -> the configuration text, written as is
  teasers_1.txt + teasers_2.txt -> the teaser data, written as is
This check runs that same encoder on the sources of the tree it lives in.
The teaser data as a whole is only checked when teasers_2.txt is present;
teasers_1.txt (records [1] to [500]) is always checked on its own.

Run: /usr/bin/python3 tests/data/test_config_teasers.py
Prints one line per check and a summary "N passed, M failed"; exits 1 when
any check fails.
"""

import importlib.util
import os
import re
import sys
import tempfile
from checklib import check, fail, finish  # beside this file

sys.dont_write_bytecode = True      # keep payload/ free of __pycache__

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
ENCODER = os.path.join(ROOT, "payload", "gbk_encode.py")
DATA = os.path.join(ROOT, "payload", "data")
CONFIG_SOURCE = os.path.join(DATA, "default_config.txt")
TEASERS_1 = os.path.join(DATA, "teasers_1.txt")
TEASERS_2 = os.path.join(DATA, "teasers_2.txt")

CONFIG_SIZE = 916
CONFIG_LINES = 56

TEASER_SIZE = 83700
TEASER_RECORDS = 1000
TEASER_SPACED_QUESTIONS = 925
TEASER_SPACED_ANSWERS = 927
TEASER_SHORT_BREAKS = 3             # questions ended by CR LF alone
FIRST_SHORT_BREAK = 102

HALF_SIZE = 41850
HALF_RECORDS = 500
HALF_SPACED_QUESTIONS = 462
HALF_SPACED_ANSWERS = 464
HALF_SHORT_BREAKS = [102, 377]

RECORD_1_QUESTION = ("饲养员将一串香蕉挂在竹竿上，要求大猩猩不搭凳子，不砍断竹枝拿下它。"
                     "聪明的大猩猩想了想很快取到了香蕉。它是怎样拿到的？ ")
RECORD_1_ANSWER = "把竹竿放倒 "

# Characters whose code-page mapping is not the same everywhere.
AMBIGUOUS = "—―·…～〜•"

# Site values: the group number that names a section, the two account
# numbers and the banned word. Their form is fixed, their value is not.
GROUP = object()
ACCOUNT = object()
BANNED_WORD = object()

# The configuration in file order: section, key, value.
CONFIG_ROWS = [
    ("签到配置", "奖励金币最多", "30"),
    ("签到配置", "奖励金币最少", "10"),
    ("签到配置", "奖励人品最多", "10"),
    ("签到配置", "奖励人品最少", "3"),
    ("签到配置", "奖励抽奖次数最多", "10"),
    ("签到配置", "奖励抽奖次数最少", "3"),
    ("签到配置", "称号一", "LV1"),
    ("签到配置", "称号二", "LV2"),
    ("签到配置", "称号三", "LV3"),
    ("签到配置", "称号四", "LV4"),
    ("签到配置", "称号五", "Lv5"),
    ("签到配置", "称号六", "LV6"),
    ("抽奖配置", "奖励金币最多", "10"),
    ("抽奖配置", "奖励金币最少", "1"),
    ("抽奖配置", "奖励人品最多", "20"),
    ("抽奖配置", "奖励人品最少", "7"),
    ("全局配置", "奖励单位", "金币"),
    ("猜数配置", "消耗金币最多", "3"),
    ("猜数配置", "消耗金币最少", "1"),
    ("猜数配置", "猜中奖励金币最多", "10"),
    ("猜数配置", "猜中奖励金币最少", "1"),
    ("抢劫配置", "抢劫金币最多", "10"),
    ("抢劫配置", "抢劫金币最少", "2"),
    ("1", "成语接龙当前成语", "胸有成竹"),
    ("11", "成语接龙当前成语", "西方净国"),
    ("成语接龙配置", "失败扣除金币", "1"),
    ("成语接龙配置", "接龙奖励金币", "5"),
    ("成语接龙配置", "接龙成功奖励金币", ""),
    ("成语接龙配置", "接龙失败扣除金币", ""),
    ("成语接龙配置", "成功奖励最多", "10"),
    ("成语接龙配置", "成功奖励最少", "5"),
    ("成语接龙配置", "失败扣除最少", "1"),
    ("成语接龙配置", "失败扣除最多", "5"),
    (GROUP, "成语接龙当前成语", "心心相印"),
    (GROUP, "已经使用过的成语", "小心翼翼*昂首挺胸*七上八下*心心相印*"),
    ("群管配置", "超级管理员QQ", ACCOUNT),
    ("群管配置", "管理员QQ", ""),
    ("群管配置", "违规文字", BANNED_WORD),
    ("群管配置", "机器人QQ", ACCOUNT),
    ("群管配置", "机器人主人QQ", ""),
    ("群管配置", "违规操作方法", "踢出"),
    ("猜拳配置", "奖励最多", "1"),
    ("猜拳配置", "奖励最少", "6"),
    ("猜拳配置", "扣除最多", "2"),
    ("猜拳配置", "扣除最少", "1"),
]

RECORD = re.compile(r"\[(\d+)\]\r\n问题=([^\r\n]*)(\n\r\n|\r\n)答案=([^\r\n]*)\r\n")



def skip(name, why):
    sys.stdout.write("skipped %s: %s\n" % (name, why))




def encode(*sources):
    """The carried bytes, made by the build's own encoder."""
    found = importlib.util.spec_from_file_location("gbk_encode", ENCODER)
    mod = importlib.util.module_from_spec(found)
    found.loader.exec_module(mod)
    with tempfile.TemporaryDirectory() as tmp:
        out = os.path.join(tmp, "carried.bin")
        try:
            rc = mod.main([out] + list(sources))
        except SystemExit as exc:       # the encoder's own refusal
            raise AssertionError("gbk_encode.py refused: %s" % exc)
        assert rc == 0, "gbk_encode.py returned %r" % rc
        with open(out, "rb") as f:
            data = f.read()
    assert data.decode("gbk").encode("gbk") == data, "the GBK bytes do not round-trip"
    return data


def source_text(path):
    with open(path, "rb") as f:
        text = f.read().decode("utf-8")
    bad = sorted(set(c for c in text if c in AMBIGUOUS))
    assert not bad, "%s: characters with an ambiguous code-page mapping: %s" % (
        os.path.basename(path), " ".join(bad))
    return text


# ---------------------------------------------------------------- configuration

config = None
try:
    source_text(CONFIG_SOURCE)
    config = encode(CONFIG_SOURCE)
except Exception as exc:
    fail("default_config encodes", exc)


def config_lines():
    assert config is not None, "default_config.txt did not encode"
    assert config.endswith(b"\r\n"), "the last line does not end with CR LF"
    return config[:-2].split(b"\r\n")


@check("default_config size")
def _():
    assert config is not None, "default_config.txt did not encode"
    assert len(config) == CONFIG_SIZE, "%d bytes, want %d" % (len(config), CONFIG_SIZE)
    return "%d bytes" % len(config)


@check("default_config line structure")
def _():
    lines = config_lines()
    assert len(lines) == CONFIG_LINES, "%d lines, want %d" % (len(lines), CONFIG_LINES)
    for n, line in enumerate(lines, start=1):
        assert b"\r" not in line and b"\n" not in line, "line %d holds a bare CR or LF" % n
        assert line, "line %d is blank" % n
        text = line.decode("gbk")
        if not text.startswith("["):
            assert "=" in text, "line %d is neither a section nor key=value: %r" % (n, text)
            key, value = text.split("=", 1)
            assert key == key.strip() and value == value.lstrip(), \
                "line %d has a space around '=': %r" % (n, text)
            assert value == value.rstrip(), "line %d ends with a space: %r" % (n, text)
    return "%d lines, each ended by CR LF" % len(lines)


def site_value(kind, value, where):
    if kind is GROUP:
        assert re.fullmatch(r"[1-9][0-9]{8}", value), "%s: %r is not a nine-digit group number" % (where, value)
    elif kind is ACCOUNT:
        assert re.fullmatch(r"[1-9][0-9]{9}", value), "%s: %r is not a ten-digit account number" % (where, value)
    elif kind is BANNED_WORD:
        assert len(value) == 2 and len(value.encode("gbk")) == 4, \
            "%s: %r is not a word of two double-byte characters" % (where, value)


@check("default_config sections, keys and values in order")
def _():
    lines = [l.decode("gbk") for l in config_lines()]
    expected = []                       # ("section", name) or ("entry", (key, value))
    previous = None
    for section, key, value in CONFIG_ROWS:
        if section != previous:
            expected.append(("section", section))
            previous = section
        expected.append(("entry", (key, value)))
    assert len(expected) == len(lines), "%d lines, the table gives %d" % (len(lines), len(expected))
    groups = set()
    for n, ((kind, want), got) in enumerate(zip(expected, lines), start=1):
        where = "line %d" % n
        if kind == "section":
            assert got.startswith("[") and got.endswith("]"), "%s: %r is not a section line" % (where, got)
            name = got[1:-1]
            if want is GROUP:
                site_value(GROUP, name, where)
                groups.add(name)
            else:
                assert name == want, "%s: section [%s], want [%s]" % (where, name, want)
        else:
            key, value = want
            assert "=" in got, "%s: %r is not key=value" % (where, got)
            got_key, got_value = got.split("=", 1)
            assert got_key == key, "%s: key %r, want %r" % (where, got_key, key)
            if isinstance(value, str):
                assert got_value == value, "%s: %s=%r, want %r" % (where, key, got_value, value)
            else:
                site_value(value, got_value, where)
    assert len(groups) == 1, "the group-number section appears with %d names" % len(groups)
    return "%d sections, %d keys" % (sum(1 for k, _ in expected if k == "section"), len(CONFIG_ROWS))


@check("default_config odd values kept as listed")
def _():
    section = None
    values = {}
    for line in config_lines():
        text = line.decode("gbk")
        if text.startswith("["):
            section = text[1:-1]
        else:
            key, value = text.split("=", 1)
            values[(section, key)] = value
    assert values.get(("签到配置", "称号五")) == "Lv5", "称号五 is %r, want 'Lv5'" % values.get(("签到配置", "称号五"))
    for key, want in (("奖励最多", "1"), ("奖励最少", "6")):
        got = values.get(("猜拳配置", key))
        assert got == want, "猜拳配置 %s is %r, want %r" % (key, got, want)
    used = [v for (s, k), v in values.items() if k == "已经使用过的成语"]
    assert len(used) == 1 and used[0].endswith("*") and used[0].count("*") == 4, \
        "已经使用过的成语 must list four items, each closed by '*'"
    return "称号五=Lv5, 猜拳配置 奖励最多=1 奖励最少=6"


# ---------------------------------------------------------------- teasers


def parse_records(data, first):
    """The records of a teaser block as (number, question, question end, answer)."""
    text = data.decode("gbk")
    records = []
    pos = 0
    n = first
    while pos < len(text):
        m = RECORD.match(text, pos)
        assert m, "no well-formed record [%d] at byte %d: %r" % (
            n, len(text[:pos].encode("gbk")), text[pos:pos + 30])
        assert int(m.group(1)) == n and m.group(1) == str(n), \
            "record [%s] found where [%d] belongs" % (m.group(1), n)
        assert m.group(2) and m.group(4), "record [%d] has an empty question or answer" % n
        records.append((n, m.group(2), m.group(3), m.group(4)))
        pos = m.end()
        n += 1
    return records


def one_space(value):
    return value.endswith(" ") and not value.endswith("  ")


def space_counts(records):
    for n, q, _, a in records:
        for what, v in (("question", q), ("answer", a)):
            stripped = v.rstrip(" \t\u3000")
            assert v == stripped or v == stripped + " ", \
                "record [%d]: the %s ends with %r" % (n, what, v[len(stripped):])
    return (sum(1 for _, q, _, _ in records if one_space(q)),
            sum(1 for _, _, _, a in records if one_space(a)))


half = None
half_records = None


@check("teasers_1 encodes and has the size of records [1] to [500]")
def _():
    global half
    source_text(TEASERS_1)
    half = encode(TEASERS_1)
    assert len(half) == HALF_SIZE, "%d bytes, want %d" % (len(half), HALF_SIZE)
    return "%d bytes" % len(half)


@check("teasers_1 holds records [1] to [500] in order, laid out as stored")
def _():
    global half_records
    assert half is not None, "teasers_1.txt did not encode"
    half_records = parse_records(half, 1)
    assert len(half_records) == HALF_RECORDS, "%d records, want %d" % (len(half_records), HALF_RECORDS)
    return "[1] .. [%d]" % half_records[-1][0]


@check("teasers_1 trailing spaces")
def _():
    assert half_records is not None, "teasers_1.txt did not parse"
    qs, ans = space_counts(half_records)
    assert (qs, ans) == (HALF_SPACED_QUESTIONS, HALF_SPACED_ANSWERS), \
        "%d questions and %d answers end in one space, want %d and %d" % (
            qs, ans, HALF_SPACED_QUESTIONS, HALF_SPACED_ANSWERS)
    return "%d questions, %d answers end in one space" % (qs, ans)


@check("teasers_1 questions ended by CR LF alone")
def _():
    assert half_records is not None, "teasers_1.txt did not parse"
    short = [n for n, _, end, _ in half_records if end == "\r\n"]
    assert short == HALF_SHORT_BREAKS, "records %s, want %s" % (short, HALF_SHORT_BREAKS)
    return "records %s" % ", ".join(map(str, short))


FULL_CHECKS = [
    "teaser data size",
    "teaser data holds records [1] to [1000] in order, laid out as stored",
    "teaser data questions ended by CR LF alone",
    "teaser data trailing spaces",
    "teaser data record 1",
    "teaser data questions are distinct",
]

if not os.path.exists(TEASERS_2):
    for name in FULL_CHECKS:
        skip(name, "payload/data/teasers_2.txt is not there yet")
    finish()

full = None
full_records = None


@check(FULL_CHECKS[0])
def _():
    global full
    source_text(TEASERS_2)
    full = encode(TEASERS_1, TEASERS_2)
    assert len(full) == TEASER_SIZE, "%d bytes, want %d" % (len(full), TEASER_SIZE)
    return "%d bytes" % len(full)


@check(FULL_CHECKS[1])
def _():
    global full_records
    assert full is not None, "the teaser sources did not encode"
    full_records = parse_records(full, 1)
    assert len(full_records) == TEASER_RECORDS, "%d records, want %d" % (len(full_records), TEASER_RECORDS)
    return "[1] .. [%d]" % full_records[-1][0]


@check(FULL_CHECKS[2])
def _():
    assert full_records is not None, "the teaser data did not parse"
    short = [n for n, _, end, _ in full_records if end == "\r\n"]
    assert len(short) == TEASER_SHORT_BREAKS, "%d records %s, want %d" % (
        len(short), short, TEASER_SHORT_BREAKS)
    assert short[0] == FIRST_SHORT_BREAK, "the first is [%d], want [%d]" % (short[0], FIRST_SHORT_BREAK)
    return "records %s" % ", ".join(map(str, short))


@check(FULL_CHECKS[3])
def _():
    assert full_records is not None, "the teaser data did not parse"
    qs, ans = space_counts(full_records)
    assert (qs, ans) == (TEASER_SPACED_QUESTIONS, TEASER_SPACED_ANSWERS), \
        "%d questions and %d answers end in one space, want %d and %d" % (
            qs, ans, TEASER_SPACED_QUESTIONS, TEASER_SPACED_ANSWERS)
    return "%d questions, %d answers end in one space" % (qs, ans)


@check(FULL_CHECKS[4])
def _():
    assert full is not None, "the teaser sources did not encode"
    want = ("[1]\r\n问题=" + RECORD_1_QUESTION + "\n\r\n答案=" + RECORD_1_ANSWER + "\r\n").encode("gbk")
    assert full.startswith(want), "record [1] differs from the release text"


@check(FULL_CHECKS[5])
def _():
    assert full_records is not None, "the teaser data did not parse"
    seen = {}
    repeats = []
    for n, q, _, _ in full_records:
        key = q.rstrip(" ")
        if key in seen:
            repeats.append("[%d] repeats [%d]" % (n, seen[key]))
        seen.setdefault(key, n)
    assert not repeats, "; ".join(repeats[:5])
    return "%d distinct questions" % len(seen)


finish()
