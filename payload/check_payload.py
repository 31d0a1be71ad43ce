#!/usr/bin/env python3
"""Checks one of the four programs the installer carries before anything is built with it.

    check_payload.py [--name LABEL] [--copy-to COPY] KIND FILE

KIND is plugin, console, card or core. The plugin and the core are DLLs, the console and the
card are programs; all four are 32-bit PE images for the i386 machine. On success the PE facts
are printed on one line (for release.txt) and the exit status is 0. Otherwise one line
"LABEL FILE: reason" goes to standard error and the exit status is 1; LABEL names the option
or variable the file came from (default: --KIND). With --copy-to, the bytes that passed are
written to COPY, so what is carried is exactly what was checked.
"""
import datetime
import os
import stat
import struct
import sys

DLL_KINDS = {'plugin': True, 'core': True, 'console': False, 'card': False}

IMAGE_FILE_EXECUTABLE_IMAGE = 0x0002
IMAGE_FILE_DLL = 0x2000
MACHINE_I386 = 0x14c
# No program the installer carries comes near this; a larger file is a wrong pick (a disk
# image, a log) and is refused before it is read into memory.
MAX_SIZE = 64 * 1024 * 1024
MAGIC_PE32 = 0x10b
MAGIC_PE32_PLUS = 0x20b
MACHINES = {0x14c: 'i386', 0x8664: 'x64', 0x1c0: 'ARM', 0x1c4: 'ARMv7 Thumb', 0xaa64: 'ARM64',
            0x200: 'IA-64'}
SUBSYSTEMS = {1: 'native', 2: 'GUI', 3: 'console', 9: 'Windows CE GUI', 10: 'EFI application'}


class Rejected(Exception):
    pass


def u16(data, at):
    return struct.unpack_from('<H', data, at)[0]


def u32(data, at):
    return struct.unpack_from('<I', data, at)[0]


def read_pe(data, want_dll):
    """The PE facts of DATA as one line; raises Rejected with the reason."""
    size = len(data)
    if size == 0:
        raise Rejected('empty file')
    if size < 64 or data[:2] != b'MZ':
        raise Rejected('not a PE file (no MZ header)')
    pe = u32(data, 0x3c)
    if pe + 24 > size:
        raise Rejected('not a PE file (PE header offset 0x%x is past the end)' % pe)
    if data[pe:pe + 4] != b'PE\0\0':
        raise Rejected('not a PE file (no PE signature at 0x%x)' % pe)
    machine, nsections, stamp = struct.unpack_from('<HHI', data, pe + 4)
    opt_size, characteristics = struct.unpack_from('<HH', data, pe + 20)
    opt = pe + 24
    if opt_size < 70 or opt + opt_size > size:
        raise Rejected('not a PE file (optional header cut short)')
    magic = u16(data, opt)
    machine_name = MACHINES.get(machine, '0x%x' % machine)
    if magic != MAGIC_PE32 or machine != MACHINE_I386:
        form = {MAGIC_PE32: 'PE32', MAGIC_PE32_PLUS: 'PE32+ (64-bit)'}.get(magic, 'magic 0x%x' % magic)
        raise Rejected('not a 32-bit i386 PE (%s, machine %s)' % (form, machine_name))
    if not characteristics & IMAGE_FILE_EXECUTABLE_IMAGE:
        raise Rejected('not an executable image (an object file?)')
    is_dll = bool(characteristics & IMAGE_FILE_DLL)
    if is_dll and not want_dll:
        raise Rejected('a DLL where a program is expected')
    if want_dll and not is_dll:
        raise Rejected('a program where a DLL is expected')

    table = opt + opt_size
    if table + 40 * nsections > size:
        raise Rejected('cut short (section table past the end)')
    names = []
    for i in range(nsections):
        at = table + 40 * i
        name = data[at:at + 8].rstrip(b'\0').decode('latin-1')
        raw_size, raw_at = u32(data, at + 16), u32(data, at + 20)
        if raw_size and raw_at + raw_size > size:
            raise Rejected('cut short (section %s ends at %d, the file has %d bytes)'
                           % (name, raw_at + raw_size, size))
        names.append(name)

    subsystem = u16(data, opt + 68)
    when = datetime.datetime.fromtimestamp(stamp, datetime.timezone.utc).strftime('%Y-%m-%d %H:%M UTC')
    return ('PE32 %s %s, subsystem %s (%d), %d sections (%s), timestamp 0x%08x (%s)'
            % (machine_name, 'DLL' if is_dll else 'program',
               SUBSYSTEMS.get(subsystem, 'unknown'), subsystem, nsections, ' '.join(names),
               stamp, when))


def judge(st):
    """Raises Rejected unless ST (an os.stat result) is a regular file of at most MAX_SIZE."""
    if stat.S_ISDIR(st.st_mode):
        raise Rejected('a folder, not a file')
    if not stat.S_ISREG(st.st_mode):
        what = ('a FIFO' if stat.S_ISFIFO(st.st_mode) else
                'a character device' if stat.S_ISCHR(st.st_mode) else
                'a block device' if stat.S_ISBLK(st.st_mode) else
                'a socket' if stat.S_ISSOCK(st.st_mode) else 'an unknown kind')
        raise Rejected('not a regular file (%s)' % what)
    if st.st_size > MAX_SIZE:
        raise Rejected('too large (%d bytes; at most %d MB)' % (st.st_size, MAX_SIZE >> 20))


def read_file(path):
    """The bytes of PATH, a regular file of at most MAX_SIZE bytes; raises Rejected otherwise.

    What the name leads to is judged before it is opened (opening a FIFO waits for a writer,
    opening a device may act on it), and what was opened is judged again (the name may have
    been pointed elsewhere in between); the open itself never waits. Never more than
    MAX_SIZE + 1 bytes are read."""
    try:
        judge(os.stat(path))
        fd = os.open(path, os.O_RDONLY | os.O_NONBLOCK | getattr(os, 'O_CLOEXEC', 0))
    except FileNotFoundError:
        raise Rejected('no such file')
    except OSError as e:
        raise Rejected('cannot be read (%s)' % (e.strerror or e))
    try:
        judge(os.fstat(fd))
        with os.fdopen(os.dup(fd), 'rb') as f:
            data = f.read(MAX_SIZE + 1)
    except OSError as e:
        raise Rejected('cannot be read (%s)' % (e.strerror or e))
    finally:
        os.close(fd)
    if len(data) > MAX_SIZE:            # it grew while it was read
        raise Rejected('too large (more than %d MB)' % (MAX_SIZE >> 20))
    return data


def main(argv):
    label = copy = None
    while len(argv) >= 2 and argv[0] in ('--name', '--copy-to'):
        if argv[0] == '--name':
            label = argv[1]
        else:
            copy = argv[1]
        argv = argv[2:]
    if len(argv) != 2 or argv[0] not in DLL_KINDS:
        sys.stderr.write('usage: check_payload.py [--name LABEL] [--copy-to COPY] '
                         'plugin|console|card|core FILE\n')
        return 2
    kind, path = argv
    label = label or '--' + kind
    try:
        data = read_file(path)
        facts = read_pe(data, DLL_KINDS[kind])
    except Rejected as e:
        sys.stderr.write('%s %s: %s\n' % (label, path, e))
        return 1
    if copy is not None:
        with open(copy, 'wb') as f:
            f.write(data)
    print(facts)
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv[1:]))
