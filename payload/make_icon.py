#!/usr/bin/python3
"""Draw the program icon DEFAULT_ICON and write it as a Windows .ico file.

Usage: make_icon.py OUTPUT.ico

The picture: a dark rounded square (the installer window is black with
white text) with a ring of eight dots (six at 16 px), the leading one orange and the
trailing ones shrinking and fading to grey, like the spinner the installer
shows while it works; from 32 px up a white arrow pointing down ("install")
sits inside the ring.

Images: 16x16, 32x32, 48x48 and 256x256, each a 32-bit RGBA PNG. The icon
loader of every system the program runs on (Windows Vista and later, as its
manifest says) reads PNG images of any size; as classic bitmaps with an AND
mask the three small images took 15 KB of the program, as PNG 3 KB. Pure
Python, no image library; edges are anti-aliased by supersampling. The output
is reproducible byte for byte.
"""

import math
import struct
import sys
import zlib

SIZES = (16, 32, 48, 256)

ORANGE = (255, 128, 0)
WHITE = (255, 255, 255)
GREY = (120, 120, 120)
EDGE = (96, 96, 96)
BG_TOP = (44, 44, 44)
BG_BOTTOM = (12, 12, 12)

# ring layout: (dots, ring radius, largest and smallest dot radius, angle
# of the leading dot in degrees clockwise from twelve o'clock); lengths in
# units of the icon size. 16 px gets fewer, fatter dots so that they stay
# apart from each other.
RING_LARGE = (8, 0.295, 0.092, 0.045, 45.0)
RING_SMALL = (6, 0.30, 0.125, 0.08, 30.0)


class Canvas:
    """Straight (not premultiplied) RGBA floats in 0..1, row 0 at the top."""

    def __init__(self, size):
        self.size = size
        self.px = [[(0.0, 0.0, 0.0, 0.0)] * size for _ in range(size)]


def supersample(size):
    return 8 if size <= 64 else 4


def fill(canvas, inside, box, colour):
    """Composite a shape over the canvas.

    inside(x, y): True when the point (icon units, 0..1, y down) is in the
    shape; box: (x0, y0, x1, y1) bounding box in icon units; colour: RGB
    tuple, or a function of y returning one."""
    n = canvas.size
    ss = supersample(n)
    px0 = max(0, int(math.floor(box[0] * n)))
    py0 = max(0, int(math.floor(box[1] * n)))
    px1 = min(n, int(math.ceil(box[2] * n)))
    py1 = min(n, int(math.ceil(box[3] * n)))
    step = 1.0 / (n * ss)
    for py in range(py0, py1):
        row = canvas.px[py]
        for px in range(px0, px1):
            hits = 0
            for sy in range(ss):
                y = (py * ss + sy + 0.5) * step
                for sx in range(ss):
                    if inside((px * ss + sx + 0.5) * step, y):
                        hits += 1
            if not hits:
                continue
            a = hits / float(ss * ss)
            c = colour((py + 0.5) / n) if callable(colour) else colour
            r, g, b, da = row[px]
            out_a = a + da * (1.0 - a)
            if out_a <= 0.0:
                continue
            k = da * (1.0 - a)
            row[px] = ((c[0] / 255.0 * a + r * k) / out_a,
                       (c[1] / 255.0 * a + g * k) / out_a,
                       (c[2] / 255.0 * a + b * k) / out_a,
                       out_a)


def rounded_rect(x0, y0, x1, y1, rad):
    def inside(x, y):
        if x < x0 or x > x1 or y < y0 or y > y1:
            return False
        cx = min(max(x, x0 + rad), x1 - rad)
        cy = min(max(y, y0 + rad), y1 - rad)
        return (x - cx) ** 2 + (y - cy) ** 2 <= rad * rad
    return inside, (x0, y0, x1, y1)


def disc(cx, cy, r):
    def inside(x, y):
        return (x - cx) ** 2 + (y - cy) ** 2 <= r * r
    return inside, (cx - r, cy - r, cx + r, cy + r)


def polygon(points):
    def inside(x, y):
        # even-odd crossing test
        res = False
        j = len(points) - 1
        for i in range(len(points)):
            xi, yi = points[i]
            xj, yj = points[j]
            if (yi > y) != (yj > y):
                if x < (xj - xi) * (y - yi) / (yj - yi) + xi:
                    res = not res
            j = i
        return res
    xs = [p[0] for p in points]
    ys = [p[1] for p in points]
    return inside, (min(xs), min(ys), max(xs), max(ys))


def mix(c0, c1, t):
    return tuple(int(round(a + (b - a) * t)) for a, b in zip(c0, c1))


def dot_style(k, ring):
    """Radius and colour of the k-th dot behind the leading one."""
    dots, _, dot_max, dot_min, _ = ring
    t = k / float(dots - 1)
    radius = dot_max + (dot_min - dot_max) * t
    if k == 0:
        colour = ORANGE
    elif t < 0.45:
        colour = mix(mix(ORANGE, WHITE, 0.55), WHITE, t / 0.45)
    else:
        colour = mix(WHITE, GREY, (t - 0.45) / 0.55)
    return radius, colour


def draw(size):
    cv = Canvas(size)
    px = 1.0 / size

    # background: a lighter one-pixel rim around a dark vertical gradient
    shape, box = rounded_rect(0.02, 0.02, 0.98, 0.98, 0.2)
    fill(cv, shape, box, EDGE)
    shape, box = rounded_rect(0.02 + px, 0.02 + px, 0.98 - px, 0.98 - px,
                              0.2 - px)
    fill(cv, shape, box, lambda y: mix(BG_TOP, BG_BOTTOM, y))

    # the ring, leading dot first, the tail running anticlockwise behind it
    ring = RING_SMALL if size < 32 else RING_LARGE
    dots, ring_radius, head_angle = ring[0], ring[1], ring[4]
    for k in range(dots):
        ang = math.radians(head_angle - 360.0 * k / dots)
        cx = 0.5 + ring_radius * math.sin(ang)
        cy = 0.5 - ring_radius * math.cos(ang)
        radius, colour = dot_style(k, ring)
        shape, box = disc(cx, cy, radius)
        fill(cv, shape, box, colour)

    # the arrow, where there is room for it
    if size >= 32:
        shaft = 0.045
        head = 0.115
        top, neck, tip = 0.36, 0.52, 0.65
        shape, box = polygon([
            (0.5 - shaft, top), (0.5 + shaft, top), (0.5 + shaft, neck),
            (0.5 + head, neck), (0.5, tip), (0.5 - head, neck),
            (0.5 - shaft, neck)])
        fill(cv, shape, box, WHITE)
    return cv


def to_bytes(cv):
    """Rows top to bottom of (r, g, b, a) 0..255 tuples."""
    rows = []
    for row in cv.px:
        out = []
        for r, g, b, a in row:
            out.append((int(round(r * 255)), int(round(g * 255)),
                        int(round(b * 255)), int(round(a * 255))))
        rows.append(out)
    return rows


def png_chunk(tag, data):
    body = tag + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)


def png_entry(rows):
    n = len(rows)
    raw = bytearray()
    for row in rows:
        raw.append(0)                       # filter: none
        for px in row:
            raw += bytes(px)
    return (b"\x89PNG\r\n\x1a\n"
            + png_chunk(b"IHDR", struct.pack(">IIBBBBB", n, n, 8, 6, 0, 0, 0))
            + png_chunk(b"IDAT", zlib.compress(bytes(raw), 9))
            + png_chunk(b"IEND", b""))


def build():
    images = []
    for size in SIZES:
        rows = to_bytes(draw(size))
        data = png_entry(rows)
        images.append((size, data))
    out = bytearray(struct.pack("<HHH", 0, 1, len(images)))
    offset = 6 + 16 * len(images)
    for size, data in images:
        dim = 0 if size >= 256 else size
        out += struct.pack("<BBBBHHII", dim, dim, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    for _, data in images:
        out += data
    return bytes(out)


def main(argv):
    if len(argv) != 2:
        sys.stderr.write("usage: make_icon.py OUTPUT.ico\n")
        return 2
    with open(argv[1], "wb") as f:
        f.write(build())
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
