#!/usr/bin/env python3
"""Draw the bitmaps and the icon of Pelmora Vantrel v1.2.

All pictures are drawn here from simple shapes, so the resources can be
rebuilt at any time and reviewed as source.  Standard library only.

Run:  python3 make_images.py     (writes next to this script)

Output (same bytes on every run):
  manage.bmp, properties.bmp, add_codec.bmp, help.bmp, info.bmp,
  home_page.bmp   16x16, 24 bpp   toolbar/button bitmaps
  logo.bmp        98x92, 32 bpp   about-box logo
  app.ico         32x32 + 16x16, 4 bpp   program icon
"""

import math
import os
import struct

OUT_DIR = os.path.dirname(os.path.abspath(__file__))

# Button face colour, so the 16x16 bitmaps blend into a standard button.
BUTTON_BG = (240, 240, 240)


# --------------------------------------------------------------------------
# Canvas: a grid of RGB tuples (None = transparent, used by the icon only).
# --------------------------------------------------------------------------

class Canvas:
    def __init__(self, width, height, background):
        self.width = width
        self.height = height
        self.pixels = [[background] * width for _ in range(height)]

    def get(self, x, y):
        return self.pixels[y][x]

    def put(self, x, y, color):
        if 0 <= x < self.width and 0 <= y < self.height:
            self.pixels[y][x] = color

    def blend(self, x, y, color, alpha):
        """Mix color over the pixel; alpha in 0..1 (coverage of the shape)."""
        if alpha <= 0:
            return
        if alpha >= 1:
            self.put(x, y, color)
            return
        old = self.get(x, y)
        self.put(x, y, tuple(int(round(o + (c - o) * alpha))
                             for o, c in zip(old, color)))


# --------------------------------------------------------------------------
# Shapes are "inside(px, py)" predicates on continuous coordinates: pixel
# (x, y) covers [x, x+1) x [y, y+1).  Composing predicates keeps each
# picture a few readable lines instead of pixel lists.
# --------------------------------------------------------------------------

def rect(x0, y0, x1, y1):
    return lambda px, py: x0 <= px < x1 and y0 <= py < y1


def disc(cx, cy, r):
    return lambda px, py: (px - cx) ** 2 + (py - cy) ** 2 <= r * r


def round_rect(x0, y0, x1, y1, r):
    def inside(px, py):
        if not (x0 <= px < x1 and y0 <= py < y1):
            return False
        # Distance from the inner rectangle shrunk by r gives round corners.
        dx = max(x0 + r - px, 0, px - (x1 - r))
        dy = max(y0 + r - py, 0, py - (y1 - r))
        return dx * dx + dy * dy <= r * r
    return inside


def polygon(points):
    """Even-odd point-in-polygon test."""
    def inside(px, py):
        hit = False
        n = len(points)
        for i in range(n):
            (ax, ay), (bx, by) = points[i], points[(i + 1) % n]
            if (ay > py) != (by > py):
                if px < ax + (py - ay) * (bx - ax) / (by - ay):
                    hit = not hit
        return hit
    return inside


def union(*shapes):
    return lambda px, py: any(s(px, py) for s in shapes)


def minus(shape, *holes):
    return lambda px, py: shape(px, py) and not any(h(px, py) for h in holes)


def shifted(shape, dx, dy):
    return lambda px, py: shape(px - dx, py - dy)


# --------------------------------------------------------------------------
# Painting shapes onto a canvas.
# --------------------------------------------------------------------------

def _color_at(color, x, y):
    # A colour may be a function of the pixel, for simple gradients.
    return color(x, y) if callable(color) else color


def fill(canvas, shape, color, samples=1):
    """Fill a shape; samples > 1 anti-aliases with samples^2 sub-pixels."""
    step = 1.0 / samples
    offsets = [(i + 0.5) * step for i in range(samples)]
    for y in range(canvas.height):
        for x in range(canvas.width):
            hits = sum(1 for oy in offsets for ox in offsets
                       if shape(x + ox, y + oy))
            canvas.blend(x, y, _color_at(color, x, y), hits / samples ** 2)


def fill_outlined(canvas, shape, color, edge):
    """Crisp pixel-art fill with a 1-pixel border.

    A pixel belongs to the shape if its centre is inside; it is a border
    pixel if one of its four neighbours is not.
    """
    def on(x, y):
        return shape(x + 0.5, y + 0.5)

    for y in range(canvas.height):
        for x in range(canvas.width):
            if not on(x, y):
                continue
            border = not (on(x - 1, y) and on(x + 1, y)
                          and on(x, y - 1) and on(x, y + 1))
            canvas.put(x, y, edge if border else _color_at(color, x, y))


def draw_map(canvas, left, top, rows, palette):
    """Paint a hand-written character map; '.' is left untouched."""
    for dy, row in enumerate(rows):
        for dx, ch in enumerate(row):
            if ch != '.':
                canvas.put(left + dx, top + dy, palette[ch])


def vertical_gradient(top_color, bottom_color, y0, y1):
    def color(x, y):
        t = min(max((y - y0) / float(y1 - y0), 0.0), 1.0)
        return tuple(int(round(a + (b - a) * t))
                     for a, b in zip(top_color, bottom_color))
    return color


# --------------------------------------------------------------------------
# File writers.
# --------------------------------------------------------------------------

def _info_header(width, height, bits, image_size, colors_used=0):
    # BITMAPINFOHEADER: 40 bytes, BI_RGB, 72 dpi (2835 pixels per metre).
    return struct.pack('<IiiHHIIiiII', 40, width, height, 1, bits, 0,
                       image_size, 2835, 2835, colors_used, 0)


def _padded(row):
    # Each bitmap row is padded to a multiple of 4 bytes.
    return row + b'\0' * (-len(row) % 4)


def write_bmp(path, canvas, bits):
    """Uncompressed bottom-up BMP, 24 bpp (BGR) or 32 bpp (BGRA, opaque)."""
    assert bits in (24, 32)
    rows = []
    for y in reversed(range(canvas.height)):
        row = bytearray()
        for r, g, b in canvas.pixels[y]:
            row += bytes((b, g, r, 0xFF)) if bits == 32 else bytes((b, g, r))
        rows.append(_padded(bytes(row)))
    pixels = b''.join(rows)
    offset = 14 + 40
    file_header = struct.pack('<2sIHHI', b'BM', offset + len(pixels), 0, 0,
                              offset)
    with open(path, 'wb') as f:
        f.write(file_header)
        f.write(_info_header(canvas.width, canvas.height, bits, len(pixels)))
        f.write(pixels)


# The 16 standard Windows colours; 4-bit icons index into this table.
VGA = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, NAVY, YELLOW, WHITE = VGA[0], VGA[4], VGA[11], VGA[15]


def icon_image(canvas):
    """One 4 bpp icon image: header, palette, XOR bitmap, AND mask."""
    w, h = canvas.width, canvas.height
    xor_rows, and_rows = [], []
    for y in reversed(range(h)):
        # Transparent pixels: colour index 0 (black) and mask bit 1.
        indexes = [0 if c is None else VGA.index(c) for c in canvas.pixels[y]]
        xor = bytes((indexes[x] << 4) | indexes[x + 1] for x in range(0, w, 2))
        mask_bits = [1 if c is None else 0 for c in canvas.pixels[y]]
        mask = bytes(sum(bit << (7 - i) for i, bit in enumerate(
            mask_bits[x:x + 8])) for x in range(0, w, 8))
        xor_rows.append(_padded(xor))
        and_rows.append(_padded(mask))
    bitmaps = b''.join(xor_rows) + b''.join(and_rows)
    palette = b''.join(bytes((b, g, r, 0)) for r, g, b in VGA)
    # biHeight counts both the XOR and the AND bitmap.
    return _info_header(w, 2 * h, 4, len(bitmaps), 16) + palette + bitmaps


def write_ico(path, canvases):
    images = [icon_image(c) for c in canvases]
    header = struct.pack('<HHH', 0, 1, len(images))
    offset = len(header) + 16 * len(images)
    entries = b''
    for canvas, image in zip(canvases, images):
        # ICONDIRENTRY: width, height, colours, reserved, planes, bpp, size,
        # offset.
        entries += struct.pack('<BBBBHHII', canvas.width, canvas.height, 16,
                               0, 1, 4, len(image), offset)
        offset += len(image)
    with open(path, 'wb') as f:
        f.write(header + entries + b''.join(images))


# --------------------------------------------------------------------------
# The 16x16 button bitmaps.
# --------------------------------------------------------------------------

def button_canvas():
    return Canvas(16, 16, BUTTON_BG)


def draw_manage():
    """A steel wrench lying on the diagonal: 'repair / manage'."""
    c = button_canvas()
    root2 = math.sqrt(2.0)

    def wrench(px, py):
        # u runs from bottom-left to top-right, v across the handle.
        dx, dy = px - 8.0, py - 8.0
        u, v = (dx - dy) / root2, (dx + dy) / root2
        handle = -9.0 <= u <= 3.0 and abs(v) <= 1.6
        head = math.hypot(u - 4.6, v) <= 3.9
        jaw = u >= 4.4 and abs(v) <= 1.4          # the open mouth
        tail = math.hypot(u + 8.4, v) <= 2.1      # rounded end of the grip
        return (handle or head or tail) and not jaw

    fill_outlined(c, wrench, vertical_gradient((215, 220, 228),
                                               (120, 128, 140), 2, 14),
                  (55, 60, 70))
    return c


def draw_properties():
    """A white sheet with three sliders: 'settings / properties'."""
    c = button_canvas()
    fill_outlined(c, rect(2, 0, 14, 16), (255, 255, 255), (90, 90, 100))
    track, knob, knob_edge = (140, 140, 150), (60, 130, 220), (20, 60, 140)
    for row, knob_x in ((3, 8), (7, 4), (11, 9)):
        for x in range(4, 12):
            c.put(x, row, track)
        fill_outlined(c, rect(knob_x, row - 1, knob_x + 3, row + 2),
                      knob, knob_edge)
    return c


def draw_add_codec():
    """An orange puzzle piece with a green plus: 'register a new codec'."""
    c = button_canvas()
    piece = union(rect(3, 4, 13, 14),
                  disc(8.0, 3.4, 2.2),              # knob on top
                  disc(2.4, 9.0, 2.2))              # knob on the left
    fill_outlined(c, piece, vertical_gradient((255, 190, 70),
                                              (225, 120, 20), 2, 13),
                  (140, 70, 10))
    plus = union(rect(8, 11, 16, 14), rect(10.5, 8.5, 13.5, 16))
    # A halo in button colour first, so the plus stands out from the piece.
    fill(c, union(rect(7, 10, 16, 15), rect(9.5, 7.5, 14.5, 16)), BUTTON_BG)
    fill_outlined(c, plus, (70, 190, 60), (20, 110, 20))
    return c


def blue_badge():
    """Shared background of help and info: a shaded blue disc."""
    c = button_canvas()
    fill_outlined(c, disc(8.0, 8.0, 7.7),
                  vertical_gradient((110, 170, 240), (25, 80, 180), 1, 15),
                  (20, 55, 130))
    return c


WHITE_INK = {'W': (255, 255, 255)}


def draw_help():
    """Blue disc with a white question mark."""
    c = blue_badge()
    draw_map(c, 5, 3, [
        ".WWWW.",
        "WW..WW",
        "....WW",
        "...WW.",
        "..WW..",
        "..WW..",
        "......",
        "..WW..",
        "..WW..",
    ], WHITE_INK)
    return c


def draw_info():
    """Blue disc with a white letter i."""
    c = blue_badge()
    draw_map(c, 6, 3, [
        ".WW.",
        ".WW.",
        "....",
        "WWW.",
        ".WW.",
        ".WW.",
        ".WW.",
        ".WW.",
        "WWWW",
    ], WHITE_INK)
    return c


def draw_home_page():
    """A small house with red roof: 'home page of the program'."""
    c = button_canvas()
    fill_outlined(c, rect(10, 1, 13, 6), (170, 80, 60), (90, 40, 30))
    fill_outlined(c, rect(3, 7, 13, 16), (245, 225, 175), (130, 90, 50))
    fill_outlined(c, polygon([(8.0, 0.0), (16.0, 8.5), (0.0, 8.5)]),
                  (215, 60, 45), (120, 25, 20))
    fill_outlined(c, rect(5, 10, 8, 16), (150, 90, 40), (90, 50, 20))
    fill_outlined(c, rect(9, 10, 12, 13), (150, 200, 250), (60, 90, 140))
    return c


# --------------------------------------------------------------------------
# The about-box logo: "PV" above a film strip carrying a sound wave.
# --------------------------------------------------------------------------

def pv_letters(left, top):
    """Bold geometric P and V, 41 px tall, as one shape."""
    stroke = 8.5
    bowl_r = 12.5
    cx, cy = left + 15.0, top + bowl_r               # centre of the P bowl
    p = union(
        rect(left, top, left + stroke, top + 41),     # stem
        rect(left, top, cx, top + stroke),            # top of the bowl
        rect(left, cy + bowl_r - stroke, cx, cy + bowl_r),  # bottom of it
        minus(disc(cx, cy, bowl_r), disc(cx, cy, bowl_r - stroke),
              lambda px, py: px < cx),                # right half ring
    )
    v0 = left + 33.0
    v = polygon([(v0, top), (v0 + 9, top), (v0 + 16, top + 28.5),
                 (v0 + 23, top), (v0 + 32, top),
                 (v0 + 20.5, top + 41), (v0 + 11.5, top + 41)])
    return union(p, v)


def draw_logo():
    c = Canvas(98, 92, (255, 255, 255))
    aa = 4  # 4x4 sub-pixels: smooth edges at this size

    letters = pv_letters(16.5, 5.0)
    fill(c, shifted(letters, 2, 2), (200, 205, 215), aa)     # soft shadow
    fill(c, letters, vertical_gradient((50, 120, 215), (20, 45, 120), 5, 46),
         aa)

    # Film strip with sprocket holes along both edges.
    fill(c, round_rect(3, 54, 95, 89, 4), (40, 42, 52), aa)
    for x in range(7, 92, 9):
        fill(c, round_rect(x, 57, x + 5, 61, 1.2), (255, 255, 255), aa)
        fill(c, round_rect(x, 82, x + 5, 86, 1.2), (255, 255, 255), aa)

    # Three frames, each showing part of one sound wave as level bars.
    frames = [(6, 34), (36, 64), (66, 92)]
    for x0, x1 in frames:
        fill(c, rect(x0, 64, x1, 79), (62, 78, 115), aa)
    mid = 71.5
    bar_color = vertical_gradient((255, 215, 60), (255, 120, 20), 64, 79)
    for x0, x1 in frames:
        for x in range(x0 + 2, x1 - 2, 3):
            # A beat that swells in the middle of the strip (deterministic).
            envelope = math.sin(math.pi * (x - 6) / 86.0)
            level = 0.35 + 0.65 * abs(math.sin(x * 0.37))
            # Whole-pixel bar ends around the half-pixel middle: crisp.
            half = max(1, round(6.0 * envelope * level)) + 0.5
            fill(c, rect(x, mid - half, x + 2, mid + half), bar_color, aa)
    return c


# --------------------------------------------------------------------------
# The program icon: the logo motif in the 16 Windows colours.
# --------------------------------------------------------------------------

def wave_shape(size, top, bottom, thickness):
    """A sine wave across the whole width, one and a half periods."""
    mid = (top + bottom) / 2.0
    amp = (bottom - top) / 2.0 - thickness / 2.0

    k = 3.0 * math.pi / size

    def inside(px, py):
        y = mid - amp * math.sin(px * k)
        # Divide by the slope factor so steep and flat parts look equally
        # thick (approximate distance to the curve).
        slope = amp * k * math.cos(px * k)
        return abs(py - y) / math.sqrt(1.0 + slope * slope) <= thickness / 2.0
    return inside


def draw_icon(size):
    c = Canvas(size, size, None)
    s = size / 32.0  # design on a 32 grid, scale for 16

    def fill_crisp(shape, color):
        for y in range(size):
            for x in range(size):
                if shape(x + 0.5, y + 0.5):
                    c.put(x, y, color)

    fill_crisp(rect(0, 6 * s, size, 26 * s), BLACK)            # the strip
    hole = 2 if size == 32 else 1
    for x in range(1, size, 4 if size == 32 else 3):
        fill_crisp(rect(x, 8 * s, x + hole, 8 * s + hole), WHITE)
        fill_crisp(rect(x, 24 * s - hole, x + hole, 24 * s), WHITE)
    # Three frames with equal gaps (2 px at 32, 1 px at 16).
    frame_w, gap = size // 3, size // 16
    for i in range(3):
        x0 = gap + i * frame_w
        fill_crisp(rect(x0, 11 * s, x0 + frame_w - gap, 21 * s), NAVY)
    fill_crisp(wave_shape(size, 10 * s, 22 * s, 2.4 if size == 32 else 2.0),
               YELLOW)
    return c


# --------------------------------------------------------------------------

def main():
    buttons = {
        'manage.bmp': draw_manage,          # resource 106
        'properties.bmp': draw_properties,  # resource 114
        'add_codec.bmp': draw_add_codec,    # resource 104
        'help.bmp': draw_help,              # resource 108
        'info.bmp': draw_info,              # resource 112
        'home_page.bmp': draw_home_page,    # resource 110
    }
    for name, draw in buttons.items():
        write_bmp(os.path.join(OUT_DIR, name), draw(), 24)
    write_bmp(os.path.join(OUT_DIR, 'logo.bmp'), draw_logo(), 32)  # 118
    write_ico(os.path.join(OUT_DIR, 'app.ico'), [draw_icon(32), draw_icon(16)])


if __name__ == '__main__':
    main()
