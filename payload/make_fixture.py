#!/usr/bin/env python3
"""Deterministic stand-in bytes of a given size for the native tests, which cannot build the
Windows payload programs: usage make_fixture.py OUTPUT SIZE NAME. The bytes start with "MZ" and
depend on NAME, so two payloads never look alike."""
import hashlib
import sys

out, size, name = sys.argv[1], int(sys.argv[2]), sys.argv[3]
chunks = [b"MZ"]
total = 2
counter = 0
while total < size:
    block = hashlib.sha256(f"{name}:{counter}".encode()).digest()
    chunks.append(block)
    total += len(block)
    counter += 1
with open(out, "wb") as f:
    f.write(b"".join(chunks)[:size])
