#!/usr/bin/python3
"""Moves one section of a linked PE image to a file offset that is a multiple of the page
size (4096), in place, and writes the image's checksum again.

    page_align_section.py IMAGE.exe SECTION

Windows maps an image's sections from the file whatever their file offsets. Wine maps a
section from the file only when its file offset is a whole page; any other section is read
into private memory when the program starts. The carried files are most of the program's
bytes, so unaligned they cost their whole size in private memory under Wine for the life of
the process; aligned, they are paged from the file like any mapped file, as on Windows.

The linker lays sections out in steps of the file alignment (512 bytes), so the section is
moved up by at most 3.5 KB of zeros, and every section after it with it. Only the section
table's file offsets and the checksum change; addresses, sizes and contents do not. An image
with a certificate table, debug directory or symbol table (all of which hold file offsets)
is refused: the build strips the program and signs it after this step. Running it again on
an aligned image changes nothing.
"""
import struct
import sys

PAGE = 4096


def fail(message):
    sys.stderr.write("page_align_section.py: %s\n" % message)
    sys.exit(1)


def pe_checksum(data, checksum_offset):
    """The image checksum: 16-bit one's-complement sum of the file's words (the checksum
    field read as 0), plus the file's length."""
    padded = data + (b"\0" if len(data) % 2 else b"")
    words = struct.unpack("<%dH" % (len(padded) // 2), padded)
    skip = checksum_offset // 2
    total = sum(words) - words[skip] - words[skip + 1]
    while total >> 16:
        total = (total & 0xFFFF) + (total >> 16)
    return (total + len(data)) & 0xFFFFFFFF


def align(data, name):
    if data[:2] != b"MZ" or len(data) < 0x40:
        fail("not a PE image")
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if data[pe:pe + 4] != b"PE\0\0":
        fail("not a PE image")
    coff = pe + 4
    nsections, symbols, nsymbols, optsize = (struct.unpack_from("<H", data, coff + 2)[0],
                                             struct.unpack_from("<I", data, coff + 8)[0],
                                             struct.unpack_from("<I", data, coff + 12)[0],
                                             struct.unpack_from("<H", data, coff + 16)[0])
    opt = coff + 20
    magic = struct.unpack_from("<H", data, opt)[0]
    if magic == 0x10B:
        dirs = opt + 96
    elif magic == 0x20B:
        dirs = opt + 112
    else:
        fail("unknown optional header 0x%x" % magic)
    file_alignment = struct.unpack_from("<I", data, opt + 36)[0]
    ndirs = struct.unpack_from("<I", data, dirs - 4)[0]
    if symbols or nsymbols:
        fail("the image has a symbol table")
    if file_alignment == 0 or PAGE % file_alignment:
        fail("file alignment %d does not divide a page" % file_alignment)
    for index, what in ((4, "a certificate table"), (6, "a debug directory")):
        if index < ndirs and any(struct.unpack_from("<II", data, dirs + 8 * index)):
            fail("the image has %s" % what)

    table = opt + optsize
    sections = []
    for i in range(nsections):
        at = table + 40 * i
        sname = data[at:at + 8].rstrip(b"\0").decode("latin-1")
        raw_size, raw_ptr = struct.unpack_from("<II", data, at + 16)
        sections.append((sname, at, raw_size, raw_ptr))
    found = [s for s in sections if s[0] == name]
    if len(found) != 1:
        fail("the image has %d sections named %s" % (len(found), name))
    _, _, size, start = found[0]
    if size == 0:
        fail("section %s has no file data" % name)
    pad = -start % PAGE
    if pad:
        out = bytearray(data[:start]) + bytes(pad) + data[start:]
        for sname, at, raw_size, raw_ptr in sections:
            if raw_size and raw_ptr >= start:
                struct.pack_into("<I", out, at + 20, raw_ptr + pad)
    else:
        out = bytearray(data)
    checksum_offset = opt + 64
    struct.pack_into("<I", out, checksum_offset, pe_checksum(bytes(out), checksum_offset))
    return bytes(out)


def main(argv):
    if len(argv) != 3:
        sys.stderr.write("usage: page_align_section.py IMAGE SECTION\n")
        return 2
    path, name = argv[1], argv[2]
    with open(path, "rb") as f:
        data = f.read()
    result = align(data, name)
    if result != data:
        with open(path, "wb") as f:
            f.write(result)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
