#!/usr/bin/env python3
"""Checks one of the four programs the installer carries before anything is built with it.

    check_payload.py [--name LABEL] KIND FILE

KIND is plugin, console, card or core. The plugin and the core are DLLs, the console and the
card are programs; all four are 32-bit PE images for the i386 machine. On success the PE facts
are printed on one line (for release.txt) and the exit status is 0. Otherwise one line
"LABEL FILE: reason" goes to standard error and the exit status is 1; LABEL names the option
or variable the file came from (default: --KIND).
"""
import datetime
import struct
import sys

DLL_KINDS = {'plugin': True, 'core': True, 'console': False, 'card': False}

IMAGE_FILE_EXECUTABLE_IMAGE = 0x0002
IMAGE_FILE_DLL = 0x2000
MACHINE_I386 = 0x14c
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


def main(argv):
    label = None
    if len(argv) >= 2 and argv[0] == '--name':
        label, argv = argv[1], argv[2:]
    if len(argv) != 2 or argv[0] not in DLL_KINDS:
        sys.stderr.write('usage: check_payload.py [--name LABEL] plugin|console|card|core FILE\n')
        return 2
    kind, path = argv
    label = label or '--' + kind
    try:
        try:
            with open(path, 'rb') as f:
                data = f.read()
        except FileNotFoundError:
            raise Rejected('no such file')
        except IsADirectoryError:
            raise Rejected('a folder, not a file')
        except OSError as e:
            raise Rejected('cannot be read (%s)' % (e.strerror or e))
        facts = read_pe(data, DLL_KINDS[kind])
    except Rejected as e:
        sys.stderr.write('%s %s: %s\n' % (label, path, e))
        return 1
    print(facts)
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv[1:]))
