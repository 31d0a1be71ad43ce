#!/usr/bin/python3
"""Checks payload/pack.py on an empty input: there is nothing to carry, and the unpacker takes
a block of size 0 for a damaged one, so the packer refuses it with a line naming the file and
writes nothing (the build stops there).

Run: /usr/bin/python3 tests/data/test_pack.py
"""
import os
import subprocess
import sys
import tempfile
from checklib import check, finish  # beside this file

sys.dont_write_bytecode = True

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
PACKER = os.path.join(ROOT, "payload", "pack.py")
TMP = tempfile.mkdtemp(prefix="tovara-pack.")


@check("an empty input is refused, naming it, and nothing is written")
def empty_refused():
    empty = os.path.join(TMP, "empty.bin")
    open(empty, "wb").close()
    for how in ([], ["--x86"], ["--stored"]):
        out = os.path.join(TMP, "out.bin")
        p = subprocess.run([sys.executable, PACKER] + how + [out, empty], capture_output=True, text=True)
        assert p.returncode != 0, "%s: accepted" % how
        assert empty in p.stderr and "empty" in p.stderr, "%s: %r" % (how, p.stderr)
        assert not os.path.exists(out), "%s: wrote %s" % (how, out)


finish()
