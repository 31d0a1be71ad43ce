#!/usr/bin/env python3
"""Packs one carried file for the program image: a small header, then the file compressed
with raw LZMA (liblzma's LZMA1 at its strongest, with the literal and position settings of a
few tried that give the smallest stream), programs first passed through our x86
call filter. The same input always gives the same bytes.

    pack.py [--x86] [--stored] OUT IN

A file that LZMA cannot make at least 1/32 smaller (already compressed, or random) is
carried stored: never bigger than itself, and only its hash to check when it is written.

Header, little-endian (56 bytes):
   0  u32  size of the file
   4  u32  size of the packed stream: the block is the header and exactly these bytes
   8  u8   method: 0 stored (the file follows as is), 1 LZMA
   9  u8   filter: 0 none, 1 x86 calls and jumps (see below)
  10  5    LZMA properties (lc/lp/pb byte, u32 dictionary size); zeros when stored
  15  u8   zero
  16  32   SHA-256 of the file
  48  8    the first 8 bytes of SHA-256 over bytes 0..47: the header's own check, so that a
           damaged size is never believed
  56       the packed stream

The image keeps the block's length in a word of its own beside the block, which no check
covers: the unpacker believes it only when it equals 56 plus the stream size above.

An empty file is refused: there is nothing to carry, and the unpacker takes a block of size 0
for a damaged one.

The x86 filter: every E8 (call) or E9 (jmp) byte followed by a 32-bit displacement whose top
byte is 00 or FF (a target within 16 MB) has that displacement turned into the target's
position from the start of the file, modulo 2^25, so that calls to one function look alike
wherever they are. Displacements of other shapes are left alone, and so is a call or jump
within 3 bytes after one left alone; a converted one is skipped whole. The program's
UnpackCarried undoes it.
"""
import hashlib
import lzma
import re
import struct
import sys

HEADER = struct.Struct("<IIBB5sB32s8s")
CHECKED = HEADER.size - 8
METHOD_STORED, METHOD_LZMA = 0, 1
FILTER_NONE, FILTER_X86 = 0, 1
# The literal/position settings (lc, lp, pb) tried for each block, the first of the smallest
# kept: code does best with a 4-byte position state, text and tables with none and a context
# of a few literal bits. liblzma takes lc + lp <= 4.
CODE_SETTINGS = ((3, 0, 2), (2, 0, 2), (0, 2, 2))
DATA_SETTINGS = ((3, 0, 2), (4, 0, 0), (1, 0, 0), (0, 0, 0))
CALL_OR_JUMP = re.compile(b"[\\xe8\\xe9]")


def wrap25(v):
    """v modulo 2^25, as a signed value in [-2^24, 2^24), in 32-bit two's complement."""
    return ((v + (1 << 24)) & ((1 << 25) - 1)) - (1 << 24)


def convert(data, direction):
    """Both directions of the filter: +1 displacement to target, -1 back. A call or jump
    within 3 bytes after one left alone is left alone too: its operand holds the top byte
    the earlier one was judged by, which must read the same to the unpacking side."""
    out = bytearray(data)
    n = len(out)
    skip_to = 0
    left_alone = -4
    for m in CALL_OR_JUMP.finditer(data):
        i = m.start()
        if i < skip_to:
            continue
        if i + 5 > n:
            break
        if i - left_alone > 3 and out[i + 4] in (0x00, 0xFF):
            v = struct.unpack_from("<I", out, i + 1)[0]
            signed = v - (1 << 32) if v & 0x80000000 else v
            struct.pack_into("<I", out, i + 1, wrap25(signed + direction * (i + 5)) & 0xFFFFFFFF)
            skip_to = i + 5
        else:
            left_alone = i
    return bytes(out)


def x86_encode(data):
    return convert(data, +1)


def x86_decode(data):
    return convert(data, -1)


def dictionary_size(n):
    """The smallest size of the form 2^k or 3 * 2^k (k >= 12) that holds the whole file."""
    k = 12
    while True:
        for d in (1 << k, 3 << (k - 1)):
            if d >= n:
                return d
        k += 1


def lzma_raw(data, lc, lp, pb):
    d = dictionary_size(len(data))
    filters = [{"id": lzma.FILTER_LZMA1, "preset": 9 | lzma.PRESET_EXTREME,
                "dict_size": d, "lc": lc, "lp": lp, "pb": pb}]
    props = struct.pack("<BI", (pb * 5 + lp) * 9 + lc, d)
    return props, lzma.compress(data, format=lzma.FORMAT_RAW, filters=filters)


def lzma_smallest(data, settings):
    """The smallest stream over settings; the same data always picks the same one."""
    best = None
    for lc, lp, pb in settings:
        props, body = lzma_raw(data, lc, lp, pb)
        if best is None or len(body) < len(best[1]):
            best = props, body
    return best


def pack(data, x86, stored):
    digest = hashlib.sha256(data).digest()
    if stored:
        method, filt, props, body = METHOD_STORED, FILTER_NONE, bytes(5), data
    else:
        filt = FILTER_X86 if x86 else FILTER_NONE
        if x86:
            props, body = lzma_smallest(x86_encode(data), CODE_SETTINGS)
        else:
            props, body = lzma_smallest(data, DATA_SETTINGS)
        method = METHOD_LZMA
        if len(body) > len(data) - len(data) // 32:
            method, filt, props, body = METHOD_STORED, FILTER_NONE, bytes(5), data
    head = HEADER.pack(len(data), len(body), method, filt, props, 0, digest, bytes(8))[:CHECKED]
    return head + hashlib.sha256(head).digest()[:8] + body


def main(argv):
    x86 = "--x86" in argv
    stored = "--stored" in argv
    args = [a for a in argv if not a.startswith("--")]
    if len(args) != 2:
        sys.exit("usage: pack.py [--x86] [--stored] OUT IN")
    out, src = args
    with open(src, "rb") as f:
        data = f.read()
    if not data:
        sys.exit("pack.py: %s is empty: an empty file cannot be carried" % src)
    if x86:
        assert x86_decode(x86_encode(data)) == data, "x86 filter does not round-trip"
    with open(out, "wb") as f:
        f.write(pack(data, x86, stored))


if __name__ == "__main__":
    main(sys.argv[1:])
