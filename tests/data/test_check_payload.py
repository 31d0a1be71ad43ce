#!/usr/bin/python3
"""Checks payload/check_payload.py, the input check of scripts/release.sh and of the configure
step: real i386 programs and DLLs (Wine's own, from wine32) are accepted for their kind; a
missing, empty, foreign, 64-bit, cut-short or wrong-kind file is refused with one line naming
the option, the file and the reason. The configure step refuses a bad TOVARA_*_PAYLOAD with the
same line, and scripts/release.sh stops there before it builds anything.

Run: /usr/bin/python3 tests/data/test_check_payload.py
"""
import os
import struct
import subprocess
import sys
import tempfile
from checklib import check, finish  # beside this file

sys.dont_write_bytecode = True

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
CHECKER = os.path.join(ROOT, "payload", "check_payload.py")
WINE = "/usr/lib/i386-linux-gnu/wine/i386-windows"
DLL = os.path.join(WINE, "jscript.dll")
PROGRAM = os.path.join(WINE, "regedit.exe")
TMP = tempfile.mkdtemp(prefix="tovara-check-payload.")


def run(*args):
    p = subprocess.run([sys.executable, CHECKER] + list(args), capture_output=True, text=True)
    return p.returncode, p.stdout, p.stderr


def made(name, data):
    path = os.path.join(TMP, name)
    with open(path, "wb") as f:
        f.write(data)
    return path


def patched(source, edits):
    """A copy of SOURCE with EDITS applied: (offset from the PE signature, struct format, value)."""
    data = bytearray(open(source, "rb").read())
    pe = struct.unpack_from("<I", data, 0x3c)[0]
    for at, fmt, value in edits:
        struct.pack_into(fmt, data, pe + at, value)
    return bytes(data)


@check("real programs and DLLs are accepted for their kind, with their PE facts")
def accepted():
    for kind, path, what in [("plugin", DLL, "DLL"), ("core", DLL, "DLL"),
                             ("console", PROGRAM, "program"), ("card", PROGRAM, "program")]:
        rc, out, err = run(kind, path)
        assert rc == 0 and not err, "%s %s refused: %s" % (kind, path, err.strip())
        assert out.startswith("PE32 i386 %s, subsystem " % what) and "(.text " in out, out
    return out.strip()


@check("bad inputs are refused with one line: option, file, reason")
def refused():
    dll = open(DLL, "rb").read()
    cases = [
        ("card", os.path.join(TMP, "absent.exe"), "no such file"),
        ("card", TMP, "a folder, not a file"),
        ("core", made("empty.dll", b""), "empty file"),
        ("core", made("dos.dll", b"MZ" + bytes(58) + struct.pack("<I", 0x40) + b"NE" + bytes(200)),
         "not a PE file (no PE signature at 0x40)"),
        ("core", made("notes.dll", b"release notes\n" * 20), "not a PE file (no MZ header)"),
        ("core", made("head.dll", dll[:0x40]), "not a PE file (PE header offset"),
        ("plugin", made("x64.dll", patched(DLL, [(4, "<H", 0x8664), (24, "<H", 0x20b)])),
         "not a 32-bit i386 PE (PE32+ (64-bit), machine x64)"),
        ("plugin", made("arm.dll", patched(DLL, [(4, "<H", 0x1c4)])),
         "not a 32-bit i386 PE (PE32, machine ARMv7 Thumb)"),
        ("plugin", made("cut.dll", dll[:len(dll) // 2]), "cut short (section "),
        ("console", DLL, "a DLL where a program is expected"),
        ("plugin", PROGRAM, "a program where a DLL is expected"),
    ]
    for kind, path, reason in cases:
        rc, out, err = run(kind, path)
        prefix = "--%s %s: " % (kind, path)
        assert rc == 1 and not out, "%s %s: exit %d, output %r" % (kind, path, rc, out)
        assert err.count("\n") == 1 and err.startswith(prefix + reason), \
            "%s %s: %r, expected %r" % (kind, path, err, prefix + reason)
    rc, out, err = run("--name", "TOVARA_CARD_PAYLOAD", "card", DLL)
    assert err == "TOVARA_CARD_PAYLOAD %s: a DLL where a program is expected\n" % DLL, err


@check("the configure step refuses a bad TOVARA_CORE_PAYLOAD with the checker's line")
def configure():
    build = os.path.join(TMP, "build")
    p = subprocess.run(["cmake", "-S", ROOT, "-B", build, "-DTOVARA_CORE_PAYLOAD=" + PROGRAM],
                       capture_output=True, text=True)
    line = "TOVARA_CORE_PAYLOAD %s: a program where a DLL is expected" % PROGRAM
    assert p.returncode != 0, "configure succeeded"
    assert any(l.strip() == line for l in p.stderr.splitlines()), p.stderr[-800:]


@check("scripts/release.sh stops at a bad input before building, leaving no program in DIR")
def release_stops():
    out = os.path.join(TMP, "dist")
    os.makedirs(out)
    made("dist/TovaraSetup.exe", b"an earlier release")
    build = os.path.join(TMP, "release-build")
    p = subprocess.run(["bash", os.path.join(ROOT, "scripts", "release.sh"), "--plugin", DLL,
                        "--console", PROGRAM, "--card", DLL, "--core", DLL, "--out", out],
                       capture_output=True, text=True,
                       env=dict(os.environ, TOVARA_RELEASE_BUILD=build))
    assert p.returncode != 0, "release.sh succeeded"
    assert p.stderr == "--card %s: a DLL where a program is expected\n" % DLL, p.stderr
    assert not os.path.exists(os.path.join(out, "TovaraSetup.exe")), "a TovaraSetup.exe is left"
    assert not os.path.exists(build), "something was built"


subprocess.run(["rm", "-rf", TMP])
finish()
