#!/usr/bin/env python3
"""Turns the UTF-8 sources of the carried data texts into the GBK bytes the program carries.

usage: gbk_encode.py [--join-lines] OUTPUT INPUT [INPUT ...]

The inputs are read as UTF-8 and concatenated in order. With --join-lines every input is a
list of records, one per line: the LF that ends each line is dropped (the text itself marks
its line breaks), which keeps a text without real line breaks readable in the source tree.
Any character outside code page 936 is an error, never silently replaced.
"""
import sys


def main(argv):
    join = False
    if argv and argv[0] == "--join-lines":
        join = True
        argv = argv[1:]
    if len(argv) < 2:
        sys.stderr.write(__doc__)
        return 2
    out_path, inputs = argv[0], argv[1:]
    text = []
    for path in inputs:
        with open(path, "rb") as f:
            data = f.read().decode("utf-8")
        if join:
            if "\r" in data:
                raise SystemExit(f"{path}: a record list must not hold CR")
            data = "".join(data.split("\n"))
        text.append(data)
    encoded = "".join(text).encode("gbk")
    with open(out_path, "wb") as f:
        f.write(encoded)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
