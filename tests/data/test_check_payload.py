#!/usr/bin/python3
"""Checks payload/check_payload.py, the input check of scripts/release.sh and of the configure
step: real i386 programs and DLLs (Wine's own, from wine32) are accepted for their kind; a
missing, empty, foreign, 64-bit, cut-short or wrong-kind file, a FIFO, a device or an oversized
file is refused with one line naming the option, the file and the reason, without waiting. The
configure step refuses a bad TOVARA_*_PAYLOAD with the same line, and scripts/release.sh stops
there before it builds anything, leaving an earlier release in its folder as it was; it
refuses a --sign that names nothing.

Run: /usr/bin/python3 tests/data/test_check_payload.py
"""
import hashlib
import os
import resource
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


def bounded():
    # (a checker that reads a device to its end must fail here, not take the machine's memory)
    resource.setrlimit(resource.RLIMIT_AS, (1 << 30, 1 << 30))


def run(*args):
    # The timeout: a checker that waits on a FIFO must fail the check, not hang the suite.
    p = subprocess.run([sys.executable, CHECKER] + list(args), capture_output=True, text=True,
                       timeout=30, preexec_fn=bounded)
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


def fifo():
    path = os.path.join(TMP, "fifo.dll")
    os.mkfifo(path)
    return path


def oversized():
    path = made("big.dll", open(DLL, "rb").read())
    os.truncate(path, 64 * 1024 * 1024 + 1)
    return path


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
        ("core", fifo(), "not a regular file (a FIFO)"),
        ("core", "/dev/zero", "not a regular file (a character device)"),
        # a whole DLL, padded (sparse) past 64 MB: refused for its size alone
        ("plugin", oversized(), "too large (%d bytes; at most 64 MB)" % (64 * 1024 * 1024 + 1)),
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


def earlier_release(name):
    """A folder holding an earlier release (and a file of the maintainer's); returns it and
    its contents, every file's name and bytes."""
    out = os.path.join(TMP, name)
    os.makedirs(out)
    for f in ["TovaraSetup.exe", "SHA256SUMS", "release.txt", "smoke-installing.png", "notes.txt"]:
        made(os.path.join(name, f), ("%s of the earlier release\n" % f).encode())
    return out, contents(out)


def contents(folder):
    found = {}
    for where, dirs, files in os.walk(folder):
        for f in dirs + files:
            path = os.path.join(where, f)
            found[os.path.relpath(path, folder)] = (
                hashlib.sha256(open(path, "rb").read()).hexdigest() if os.path.isfile(path) else "dir")
    return found


def release(out, build, *args):
    return subprocess.run(["bash", os.path.join(ROOT, "scripts", "release.sh"), "--plugin", DLL,
                           "--console", PROGRAM, "--core", DLL, "--out", out] + list(args),
                          capture_output=True, text=True, timeout=900,
                          env=dict(os.environ, TOVARA_RELEASE_BUILD=build))


@check("scripts/release.sh stops at a bad input before building; the earlier release is kept whole")
def release_stops():
    out, before = earlier_release("dist")
    build = os.path.join(TMP, "release-build")
    p = release(out, build, "--card", DLL)
    assert p.returncode != 0, "release.sh succeeded"
    assert p.stderr.splitlines() == ["--card %s: a DLL where a program is expected" % DLL,
                                      "release: failed; %s is left as it was" % out], p.stderr
    assert contents(out) == before, "the folder changed: %s" % sorted(contents(out))
    assert not os.path.exists(build), "something was built"


@check("scripts/release.sh refuses a --sign that names nothing, before building")
def release_sign_nothing():
    out, before = earlier_release("dist-sign")
    build = os.path.join(TMP, "release-build-sign")
    p = release(out, build, "--card", PROGRAM, "--skip-smoke", "--sign", "")
    assert p.returncode != 0, "release.sh made a release"
    assert p.stderr.startswith("release: --sign names no file"), p.stderr
    assert contents(out) == before and not os.path.exists(build), "something was built"


subprocess.run(["rm", "-rf", TMP])
finish()
