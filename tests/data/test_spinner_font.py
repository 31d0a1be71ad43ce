#!/usr/bin/python3
"""Checks the generated build inputs: the spinner icon font and the program
icon.

Run: /usr/bin/python3 tests/data/test_spinner_font.py
Prints one line per check and a summary "N passed, M failed"; exits 1 when
any check fails.
"""

import io
import os
import shutil
import struct
import zlib
import subprocess
import sys
import tempfile
import time
from checklib import check, finish  # beside this file

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
FONT_GEN = os.path.join(ROOT, "payload", "make_spinner_font.py")
ICON_GEN = os.path.join(ROOT, "payload", "make_icon.py")
PYTHON = "/usr/bin/python3" if os.path.exists("/usr/bin/python3") else sys.executable

FONT_SIZE = 57868
FIRST, LAST = 0xE052, 0xE0CB
FRAME_CODES = list(range(FIRST, LAST + 1))
ALL_CODES = sorted([0x000D, 0x0020] + FRAME_CODES)
GLYPH_COUNT = 346

try:
    from fontTools.ttLib import TTFont
    from fontTools.pens.boundsPen import BoundsPen
    from fontTools.pens.recordingPen import DecomposingRecordingPen
except ImportError:                                     # pragma: no cover
    sys.stdout.write("FAIL fontTools is not importable by %s\n" % sys.executable)
    sys.stdout.write("0 passed, 1 failed\n")
    sys.exit(1)



def run_generator(script, out, env_extra=None):
    env = dict(os.environ)
    if env_extra:
        env.update(env_extra)
    proc = subprocess.run([PYTHON, script, out], env=env,
                          stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    if proc.returncode != 0:
        raise AssertionError("%s exited with %d: %s" % (
            os.path.basename(script), proc.returncode,
            proc.stderr.decode("utf-8", "replace").strip()[-300:]))
    with open(out, "rb") as f:
        return f.read()


tmp = tempfile.mkdtemp(prefix="spinner-test-")
state = {}


def font():
    if "font" not in state:
        state["font"] = TTFont(io.BytesIO(state["font_bytes"]))
    return state["font"]


def frame_outline(gs, name):
    pen = DecomposingRecordingPen(gs)
    gs[name].draw(pen)
    return tuple((op, tuple(args)) for op, args in pen.value)


try:
    @check("font generator is deterministic (different hash seed and locale)")
    def _():
        a = run_generator(FONT_GEN, os.path.join(tmp, "a.ttf"),
                          {"PYTHONHASHSEED": "1", "LC_ALL": "C"})
        b = run_generator(FONT_GEN, os.path.join(tmp, "b.ttf"),
                          {"PYTHONHASHSEED": "4242", "LC_ALL": "C.UTF-8", "TZ": "Asia/Shanghai"})
        state["font_bytes"] = a
        assert a == b, "two runs differ (%d vs %d bytes)" % (len(a), len(b))

    @check("font file is %d bytes, TrueType outlines" % FONT_SIZE)
    def _():
        data = state["font_bytes"]
        assert len(data) == FONT_SIZE, "size is %d" % len(data)
        assert data[:4] == b"\x00\x01\x00\x00", "sfnt version %r" % data[:4]
        f = font()
        for tag in ("head", "hhea", "maxp", "OS/2", "hmtx", "cmap", "loca",
                    "glyf", "name", "post"):
            assert tag in f, "no %s table" % tag
        assert "CFF " not in f and "CFF2" not in f
        assert f["post"].formatType in (2.0, 3.0), "post format %s" % f["post"].formatType

    @check("name table: family Setup, style Regular, Version 1.03")
    def _():
        name = font()["name"]
        win = {}
        for rec in name.names:
            if rec.platformID == 3:
                assert rec.platEncID == 1, "Windows record with encoding %d" % rec.platEncID
                win[rec.nameID] = rec.toUnicode()
        assert win.get(1) == "Setup", "family %r" % win.get(1)
        assert win.get(2) == "Regular", "style %r" % win.get(2)
        assert win.get(4) in ("Setup Regular", "Setup"), "full name %r" % win.get(4)
        assert win.get(5) == "Version 1.03", "version %r" % win.get(5)
        # every platform must agree on the family
        for rec in name.names:
            if rec.nameID in (1, 2, 5):
                assert rec.toUnicode() == win[rec.nameID], \
                    "platform %d disagrees on name %d" % (rec.platformID, rec.nameID)

    @check("head: 2048 units per em, revision 1.03, fixed timestamps")
    def _():
        head = font()["head"]
        assert head.unitsPerEm == 2048, head.unitsPerEm
        assert abs(head.fontRevision - 1.03) < 1e-3, head.fontRevision
        assert head.created == head.modified, (head.created, head.modified)
        # seconds since 1904; a stamp within the last two days means the
        # clock leaked into the file
        now = int(time.time()) + 2082844800
        assert abs(now - head.modified) > 2 * 86400, "timestamp follows the clock"
        assert head.magicNumber == 0x5F0F3CF5

    @check("OS/2: editable embedding (fsType 8), code page 936, metrics")
    def _():
        f = font()
        os2 = f["OS/2"]
        assert os2.fsType == 8, "fsType %d" % os2.fsType
        assert os2.ulCodePageRange1 & (1 << 18), "code page 936 bit not set"
        assert os2.usWeightClass == 400, os2.usWeightClass
        head = f["head"]
        assert head.yMax <= os2.usWinAscent, (head.yMax, os2.usWinAscent)
        assert -head.yMin <= os2.usWinDescent, (head.yMin, os2.usWinDescent)
        assert f["hhea"].ascent >= head.yMax and f["hhea"].descent <= head.yMin

    @check("cmap: one 3/1 format 4 subtable, 124 code points, distinct glyphs")
    def _():
        f = font()
        tables = f["cmap"].tables
        assert len(tables) == 1, "%d subtables" % len(tables)
        t = tables[0]
        assert (t.platformID, t.platEncID, t.format) == (3, 1, 4), \
            (t.platformID, t.platEncID, t.format)
        assert sorted(t.cmap) == ALL_CODES, "mapped: %d code points" % len(t.cmap)
        names = list(t.cmap.values())
        assert len(set(names)) == len(names), "two code points share a glyph"
        assert ".notdef" not in names
        assert f.getGlyphOrder()[0] == ".notdef"
        # the raw subtable, too: exactly the three ranges plus the 0xFFFF end
        raw = state["font_bytes"]
        num, = struct.unpack(">H", raw[f.reader.tables["cmap"].offset + 2:
                                        f.reader.tables["cmap"].offset + 4])
        assert num == 1, "cmap header lists %d subtables" % num

    @check("%d glyphs, no unused or empty building blocks" % GLYPH_COUNT)
    def _():
        f = font()
        order = f.getGlyphOrder()
        assert len(order) == GLYPH_COUNT, "%d glyphs" % len(order)
        assert f["maxp"].numGlyphs == GLYPH_COUNT
        glyf = f["glyf"]
        cmap = f.getBestCmap()
        mapped = set(cmap.values())
        used = set()
        for code in FRAME_CODES:
            g = glyf[cmap[code]]
            if g.isComposite():
                used.update(c.glyphName for c in g.components)
        others = [n for n in order if n not in mapped and n != ".notdef"]
        unused = [n for n in others if n not in used]
        assert not unused, "never used: %s" % ", ".join(unused[:5])
        empty = [n for n in others + [".notdef"] if glyf[n].numberOfContours == 0]
        assert not empty, "empty: %s" % ", ".join(empty[:5])
        return "%d frame parts" % len(others)

    @check("every private-use glyph draws something")
    def _():
        f = font()
        gs = f.getGlyphSet()
        cmap = f.getBestCmap()
        for code in FRAME_CODES:
            pen = BoundsPen(gs)
            gs[cmap[code]].draw(pen)
            b = pen.bounds
            assert b is not None and b[2] > b[0] and b[3] > b[1], \
                "U+%04X is empty" % code

    @check("frames: consecutive ones differ, no two are the same")
    def _():
        f = font()
        gs = f.getGlyphSet()
        cmap = f.getBestCmap()
        outlines = [frame_outline(gs, cmap[c]) for c in FRAME_CODES]
        for i in range(len(outlines) - 1):
            assert outlines[i] != outlines[i + 1], \
                "U+%04X equals U+%04X" % (FRAME_CODES[i], FRAME_CODES[i + 1])
        seen = {}
        for i, o in enumerate(outlines):
            assert o not in seen, "U+%04X equals U+%04X" % (
                FRAME_CODES[seen[o]], FRAME_CODES[i])
            seen[o] = i

    @check("two frames rendered: inside the em box and centred")
    def _():
        f = font()
        gs = f.getGlyphSet()
        cmap = f.getBestCmap()
        os2 = f["OS/2"]
        upm = f["head"].unitsPerEm
        boxes = []
        for code in (FIRST, FIRST + 61):
            name = cmap[code]
            pen = BoundsPen(gs)
            gs[name].draw(pen)
            x0, y0, x1, y1 = pen.bounds
            adv = f["hmtx"][name][0]
            assert 0 <= x0 and x1 <= adv <= upm, "U+%04X x %s..%s, advance %d" % (code, x0, x1, adv)
            assert -os2.usWinDescent <= y0 and y1 <= os2.usWinAscent, \
                "U+%04X y %s..%s" % (code, y0, y1)
            assert abs((x0 + x1) / 2.0 - adv / 2.0) < upm * 0.05, "U+%04X not centred" % code
            mid = (os2.usWinAscent - os2.usWinDescent) / 2.0
            assert abs((y0 + y1) / 2.0 - mid) < upm * 0.05, "U+%04X not centred vertically" % code
            assert x1 - x0 > upm * 0.5, "U+%04X is tiny" % code
            boxes.append((x0, y0, x1, y1))
        return "; ".join("%d,%d..%d,%d" % b for b in boxes)

    @check("ots-sanitize accepts the font")
    def _():
        tool = shutil.which("ots-sanitize") or shutil.which("ots-sanitise")
        if not tool:
            return "skip"
        src = os.path.join(tmp, "a.ttf")
        proc = subprocess.run([tool, src, os.path.join(tmp, "ots.ttf")],
                              stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
        out = proc.stdout.decode("utf-8", "replace").strip()
        assert proc.returncode == 0, out[-300:]

    @check("icon generator is deterministic")
    def _():
        a = run_generator(ICON_GEN, os.path.join(tmp, "a.ico"), {"PYTHONHASHSEED": "3"})
        b = run_generator(ICON_GEN, os.path.join(tmp, "b.ico"), {"PYTHONHASHSEED": "99"})
        state["ico"] = a
        assert a == b, "two runs differ"

    @check("icon: ICO directory with 16, 32, 48 and 256 px PNG images")
    def _():
        data = state["ico"]
        reserved, kind, count = struct.unpack_from("<HHH", data, 0)
        assert (reserved, kind) == (0, 1), "not an icon file"
        assert count >= 3, "%d images" % count
        found = {}
        end = 6 + 16 * count
        for i in range(count):
            w, h, colours, res, planes, bpp, size, off = struct.unpack_from(
                "<BBBBHHII", data, 6 + 16 * i)
            w = w or 256
            h = h or 256
            assert w == h, "entry %d is %dx%d" % (i, w, h)
            assert off >= 6 + 16 * count and off + size <= len(data), "entry %d outside the file" % i
            img = data[off:off + size]
            end = max(end, off + size)
            if img[:8] == b"\x89PNG\r\n\x1a\n":
                pw, ph = struct.unpack_from(">II", img, 16)
                assert (pw, ph) == (w, h), "PNG %dx%d in a %d entry" % (pw, ph, w)
                found[w] = ("png", img)
                continue
            hsize, bw, bh, bplanes, bbpp, comp = struct.unpack_from("<IiiHHI", img, 0)
            assert hsize == 40 and bw == w and bh == 2 * h, "entry %d header" % i
            assert bplanes == 1 and bbpp == 32 and comp == 0, "entry %d format" % i
            assert bpp == 32 and planes == 1, "entry %d directory bit count" % i
            stride = ((w + 31) // 32) * 4
            assert size == 40 + w * h * 4 + stride * h, "entry %d size %d" % (i, size)
            found[w] = ("bmp", img)
        assert end == len(data), "trailing bytes after the images"
        for s in (16, 32, 48, 256):
            assert s in found and found[s][0] == "png", "no %dx%d PNG image" % (s, s)
        state["ico_images"] = found
        return "sizes " + ", ".join(str(s) for s in sorted(found))

    @check("icon: RGBA images with transparent corners and an opaque centre")
    def _():
        for s, (kind, img) in sorted(state["ico_images"].items()):
            assert kind == "png", "%d px: %s" % (s, kind)
            pos, idat = 8, b""
            while pos < len(img):
                length, tag = struct.unpack_from(">I4s", img, pos)
                body = img[pos + 8:pos + 8 + length]
                if tag == b"IHDR":
                    depth, colour = body[8], body[9]
                    assert (depth, colour) == (8, 6), "%d px: not 8-bit RGBA" % s
                elif tag == b"IDAT":
                    idat += body
                pos += 12 + length
            raw = zlib.decompress(idat)
            assert len(raw) == s * (1 + 4 * s), "%d px: %d bytes of rows" % (s, len(raw))
            rows = [raw[r * (1 + 4 * s):(r + 1) * (1 + 4 * s)] for r in range(s)]
            assert all(row[0] == 0 for row in rows), "%d px: a filtered row" % s
            alpha = lambda x, y: rows[y][1 + 4 * x + 3]
            opaque = sum(1 for y in range(s) for x in range(s) if alpha(x, y) == 255)
            assert alpha(0, 0) == 0 and alpha(s - 1, s - 1) == 0, "%d px: opaque corner" % s
            assert alpha(s // 2, s // 2) == 255, "%d px: centre alpha %d" % (s, alpha(s // 2, s // 2))
            assert opaque > s * s // 2, "%d px: mostly transparent" % s
finally:
    shutil.rmtree(tmp, ignore_errors=True)

finish()
