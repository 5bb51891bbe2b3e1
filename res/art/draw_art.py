#!/usr/bin/env python3
"""Draws the program's icons and list images and writes them as .ico and .bmp files.

    draw_art.py [output folder]      (default: the folder of this script)

Pure standard library: the pictures are simple shapes rasterised here, and the file formats are
written byte by byte. The outputs are committed; run this again after changing a picture.

Icons (16 and 32 pixels, 32-bit with alpha and an AND mask):
  main.ico   128  the shared folder with a glimmer at its top right (application, animation 1)
  idle.ico   130  the same folder, quiet and grey, no glimmer
  anim1.ico  139  the glimmer at the top left
  anim2.ico  140  a red flash on the folder
  anim3.ico  141  a large cyan glimmer at the top right
List images (16 by 13, 24-bit; pure black is the transparent colour, so no picture uses it):
  folder.bmp 133, computer.bmp 134, file.bmp 135, computer_gone.bmp 136, file_gone.bmp 137,
  folder_gone.bmp 138
Log viewer tree images (the same format): user.bmp 139 (dates use folder.bmp)
"""

import math
import os
import struct
import sys

# ---------------------------------------------------------------------------------------------
# Shapes in unit coordinates (0..1, y downwards); each is a function (x, y) -> inside?


def rect(x0, y0, x1, y1):
    return lambda x, y: x0 <= x < x1 and y0 <= y < y1


def rounded_rect(x0, y0, x1, y1, r):
    def inside(x, y):
        if not (x0 <= x < x1 and y0 <= y < y1):
            return False
        cx = min(max(x, x0 + r), x1 - r)
        cy = min(max(y, y0 + r), y1 - r)
        return (x - cx) ** 2 + (y - cy) ** 2 <= r * r
    return inside


def polygon(points):
    def inside(x, y):
        result = False
        j = len(points) - 1
        for i in range(len(points)):
            xi, yi = points[i]
            xj, yj = points[j]
            if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
                result = not result
            j = i
        return result
    return inside


def circle(cx, cy, r):
    return lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def star(cx, cy, r, inner=0.28, points=4):
    pts = []
    for k in range(points * 2):
        a = math.pi * k / points - math.pi / 2
        rr = r if k % 2 == 0 else r * inner
        pts.append((cx + rr * math.cos(a), cy + rr * math.sin(a)))
    return polygon(pts)


def outline(shape, width):
    """The band of `shape` within `width` of its edge (approximated by sampling around the point)."""
    offsets = [(width * math.cos(a), width * math.sin(a)) for a in (k * math.pi / 4 for k in range(8))]

    def inside(x, y):
        return shape(x, y) and not all(shape(x + dx, y + dy) for dx, dy in offsets)
    return inside


# ---------------------------------------------------------------------------------------------
# Rasterising with supersampling into RGBA rows (top row first).


def render(layers, size, samples=4):
    """layers: list of (shape, (r, g, b, a)) painted in order. Returns size*size RGBA tuples."""
    pixels = []
    for py in range(size):
        row = []
        for px in range(size):
            acc = [0.0, 0.0, 0.0, 0.0]  # premultiplied
            for sy in range(samples):
                for sx in range(samples):
                    x = (px + (sx + 0.5) / samples) / size
                    y = (py + (sy + 0.5) / samples) / size
                    c = [0.0, 0.0, 0.0, 0.0]
                    for shape, (r, g, b, a) in layers:
                        if shape(x, y):
                            fa = a / 255.0
                            c = [r * fa + c[0] * (1 - fa), g * fa + c[1] * (1 - fa), b * fa + c[2] * (1 - fa),
                                 fa + c[3] * (1 - fa)]
                    for i in range(4):
                        acc[i] += c[i]
            n = samples * samples
            alpha = acc[3] / n
            if alpha <= 0:
                row.append((0, 0, 0, 0))
            else:
                row.append(tuple(int(round(min(255, acc[i] / n / alpha))) for i in range(3)) +
                           (int(round(alpha * 255)),))
        pixels.append(row)
    return pixels


# ---------------------------------------------------------------------------------------------
# The icon pictures.

FOLDER_BACK = (0xD9, 0xA5, 0x20, 255)
FOLDER_FRONT = (0xF6, 0xCF, 0x57, 255)
FOLDER_EDGE = (0x7A, 0x52, 0x10, 255)
CABLE = (0x2E, 0x5E, 0xA8, 255)
IDLE_BACK = (0x9A, 0x9E, 0xA6, 255)
IDLE_FRONT = (0xC4, 0xC8, 0xCF, 255)
IDLE_EDGE = (0x55, 0x5A, 0x63, 255)
IDLE_CABLE = (0x6E, 0x74, 0x7E, 255)


def shared_folder(back, front, edge, cable):
    # Edges on whole pixels of the 16-pixel image (multiples of 1/16) keep the small icon sharp.
    tab = polygon([(0.0625, 0.1875), (0.375, 0.1875), (0.4375, 0.25), (0.9375, 0.25), (0.9375, 0.75),
                   (0.0625, 0.75)])
    body = polygon([(0.0625, 0.375), (0.9375, 0.375), (0.9375, 0.75), (0.0625, 0.75)])
    return [
        (tab, back),
        (outline(tab, 0.0625), edge),
        (body, front),
        (outline(body, 0.0625), edge),
        (rect(0.4375, 0.75, 0.5625, 0.875), cable),
        (rect(0.125, 0.8125, 0.875, 0.9375), cable),
    ]


def glimmer(cx, cy, r, colour, halo):
    return [(circle(cx, cy, r * 0.55), halo), (star(cx, cy, r), colour)]


ICONS = {
    'main.ico': shared_folder(FOLDER_BACK, FOLDER_FRONT, FOLDER_EDGE, CABLE)
    + glimmer(0.76, 0.20, 0.22, (0xFF, 0xFF, 0xF0, 255), (0xFF, 0xE0, 0x40, 160)),
    'idle.ico': shared_folder(IDLE_BACK, IDLE_FRONT, IDLE_EDGE, IDLE_CABLE),
    'anim1.ico': shared_folder(FOLDER_BACK, FOLDER_FRONT, FOLDER_EDGE, CABLE)
    + glimmer(0.22, 0.16, 0.20, (0xFF, 0xFF, 0xF0, 255), (0xFF, 0xE0, 0x40, 160)),
    'anim2.ico': shared_folder(FOLDER_BACK, FOLDER_FRONT, FOLDER_EDGE, CABLE)
    + glimmer(0.50, 0.50, 0.30, (0xE8, 0x30, 0x20, 255), (0xFF, 0x90, 0x30, 170)),
    'anim3.ico': shared_folder(FOLDER_BACK, FOLDER_FRONT, FOLDER_EDGE, CABLE)
    + glimmer(0.74, 0.24, 0.27, (0x40, 0xE8, 0xFF, 255), (0xB0, 0xF4, 0xFF, 170)),
}


def ico_bytes(images):
    """images: list of (size, rows of RGBA). 32-bit images with an AND mask, as Windows expects."""
    entries, blobs = [], []
    offset = 6 + 16 * len(images)
    for size, rows in images:
        header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
        xor = bytearray()
        for row in reversed(rows):
            for r, g, b, a in row:
                xor += bytes((b, g, r, a))
        mask_stride = ((size + 31) // 32) * 4
        mask = bytearray()
        for row in reversed(rows):
            line = bytearray(mask_stride)
            for x, (_, _, _, a) in enumerate(row):
                if a == 0:
                    line[x // 8] |= 0x80 >> (x % 8)
            mask += line
        blob = header + bytes(xor) + bytes(mask)
        entries.append(struct.pack('<BBBBHHII', size % 256, size % 256, 0, 0, 1, 32, len(blob), offset))
        blobs.append(blob)
        offset += len(blob)
    return struct.pack('<HHH', 0, 1, len(images)) + b''.join(entries) + b''.join(blobs)


# ---------------------------------------------------------------------------------------------
# The list images, drawn pixel by pixel: 13 rows of 16 characters, one palette letter each.

PALETTE = {
    '.': (0, 0, 0),  # transparent (the image list's mask colour)
    'k': (0x30, 0x30, 0x30),  # outline
    'y': (0xF6, 0xCF, 0x57),  # folder front
    'o': (0xD9, 0xA5, 0x20),  # folder back
    'w': (0xFF, 0xFF, 0xFF),  # paper
    'l': (0x7F, 0x9F, 0xD0),  # paper lines
    'g': (0xA8, 0xA8, 0xA8),  # case grey
    'd': (0x70, 0x70, 0x70),  # dark grey
    'b': (0x30, 0x60, 0xC0),  # screen
    'c': (0x90, 0xC8, 0xF0),  # screen shine
    'r': (0xE0, 0x20, 0x20),  # red tick
    's': (0xF2, 0xC8, 0xA0),  # skin
    'h': (0x6A, 0x44, 0x20),  # hair
    'u': (0x40, 0x70, 0xB8),  # shirt
}

FOLDER = [
    '................',
    '.kkkk...........',
    'kooook..........',
    'koooookkkkkkkk..',
    'koookkkkkkkkkkk.',
    'kookyyyyyyyyyyyk',
    'kookyyyyyyyyyyk.',
    'kokyyyyyyyyyyyk.',
    'kokyyyyyyyyyyk..',
    'kkyyyyyyyyyyyk..',
    'kkyyyyyyyyyyk...',
    'kkkkkkkkkkkkk...',
    '................',
]

COMPUTER = [
    '..kkkkkkkkkkkk..',
    '..kggggggggggk..',
    '..kgkkkkkkkkgk..',
    '..kgkcbbbbbkgk..',
    '..kgkbcbbbbkgk..',
    '..kgkbbbbbbkgk..',
    '..kgkbbbbbbkgk..',
    '..kgkkkkkkkkgk..',
    '..kggggggggggk..',
    '..kkkkkkkkkkkk..',
    '......kddk......',
    '...kkkkkkkkkk...',
    '...kggggggggk...',
]

FILE = [
    '...kkkkkkkk.....',
    '...kwwwwwwkk....',
    '...kwwwwwwkwk...',
    '...kwllllwkkkk..',
    '...kwwwwwwwwwk..',
    '...kwllllllwwk..',
    '...kwwwwwwwwwk..',
    '...kwllllllwwk..',
    '...kwwwwwwwwwk..',
    '...kwllllllwwk..',
    '...kwwwwwwwwwk..',
    '...kkkkkkkkkkk..',
    '................',
]

# A person's head and shoulders: a user name in the log viewer's tree.
USER = [
    '......kkkk......',
    '.....khhhhk.....',
    '....khhhhhhk....',
    '....khssssk.....',
    '....kssssssk....',
    '....kskssksk....',
    '....kssssssk....',
    '.....ksrrsk.....',
    '......kssk......',
    '...kkkuuuukkk...',
    '..kuuuuuuuuuuk..',
    '..kuuuuuuuuuuk..',
    '..kkkkkkkkkkkk..',
]

# The red tick drawn across the computer of a session that is gone.
TICK = [
    '................',
    '................',
    '..............rr',
    '.............rr.',
    '............rr..',
    '...........rr...',
    '..rr......rr....',
    '...rr....rr.....',
    '....rr..rr......',
    '.....rrrr.......',
    '......rr........',
    '................',
    '................',
]


def overlay(base, top):
    return [''.join(t if t != '.' else b for b, t in zip(brow, trow)) for brow, trow in zip(base, top)]


def grid_pixels(grid, faded=False):
    rows = []
    for line in grid:
        assert len(line) == 16, line
        row = []
        for ch in line:
            r, g, b = PALETTE[ch]
            if faded and ch != '.':
                # Half way to a light grey: the row is gone and waits to age out.
                grey = 0xD0
                r, g, b = ((r + grey) // 2, (g + grey) // 2, (b + grey) // 2)
            row.append((r, g, b))
        rows.append(row)
    assert len(rows) == 13
    return rows


def bmp_bytes(rows):
    height, width = len(rows), len(rows[0])
    stride = (width * 3 + 3) // 4 * 4
    data = bytearray()
    for row in reversed(rows):
        line = bytearray()
        for r, g, b in row:
            line += bytes((b, g, r))
        line += bytes(stride - len(line))
        data += line
    info = struct.pack('<IiiHHIIiiII', 40, width, height, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    header = struct.pack('<2sIHHI', b'BM', 14 + len(info) + len(data), 0, 0, 14 + len(info))
    return header + info + bytes(data)


BITMAPS = {
    'folder.bmp': grid_pixels(FOLDER),
    'computer.bmp': grid_pixels(COMPUTER),
    'file.bmp': grid_pixels(FILE),
    'computer_gone.bmp': grid_pixels(overlay(COMPUTER, TICK)),
    'file_gone.bmp': grid_pixels(FILE, faded=True),
    'folder_gone.bmp': grid_pixels(FOLDER, faded=True),
    'user.bmp': grid_pixels(USER),
}


def main(argv):
    out = argv[1] if len(argv) > 1 else os.path.dirname(os.path.abspath(__file__))
    os.makedirs(out, exist_ok=True)
    for name, layers in ICONS.items():
        images = [(size, render(layers, size)) for size in (16, 32)]
        with open(os.path.join(out, name), 'wb') as f:
            f.write(ico_bytes(images))
    for name, rows in BITMAPS.items():
        with open(os.path.join(out, name), 'wb') as f:
            f.write(bmp_bytes(rows))
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))
