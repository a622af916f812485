#!/usr/bin/env python3
"""Draws the small pictures of Quorvane Webdeck: icons, cursors and bitmaps.

Usage:  python3 res/icons/make_icons.py      (from anywhere)

Everything is drawn here from simple vector shapes, anti-aliased by
supersampling, and written next to this script.  Icons carry images of 16, 20,
24, 32, 40 and 48 pixels (32-bit BGRA with an AND mask) and one of 256 pixels
(PNG), drawn from a 16-unit or a 32-unit design; cursors one 32x32 image, the two
bitmaps are 16x16 24-bit with the RGB(192,192,192) button-face background
that LoadImage(LR_LOADMAP3DCOLORS) replaces.

Only the Python standard library is used and the output is byte-for-byte
the same on every run, so the files can be regenerated at any time.
"""

import math
import os
import struct
import sys
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
SS = 4                      # samples per pixel along each axis


# --------------------------------------------------------------------------
# Colours
# --------------------------------------------------------------------------

def rgb(hexstr, a=1.0):
    """'#rrggbb' -> (r, g, b, a) with components in 0..1."""
    h = hexstr.lstrip('#')
    return (int(h[0:2], 16) / 255.0, int(h[2:4], 16) / 255.0,
            int(h[4:6], 16) / 255.0, a)


def mix(c0, c1, t):
    return tuple(a + (b - a) * t for a, b in zip(c0, c1))


def with_alpha(c, a):
    return (c[0], c[1], c[2], a)


WHITE = rgb('#ffffff')
BLACK = rgb('#000000')
INK = rgb('#1b1f27')            # near-black outline colour

BLUE = rgb('#1f5fbf')           # the product's blue
BLUE_LIGHT = rgb('#4d8ae6')
BLUE_PALE = rgb('#cfe0fa')
BLUE_DARK = rgb('#103a7a')

GREEN = rgb('#2fa33f')
GREEN_LIGHT = rgb('#7ddc6e')
GREEN_DARK = rgb('#135e1f')

RED = rgb('#dc3328')
RED_LIGHT = rgb('#f7786a')
RED_DARK = rgb('#7f130c')

YELLOW = rgb('#f6c944')         # folders
YELLOW_LIGHT = rgb('#ffe58a')
YELLOW_DARK = rgb('#f0b020')
FOLDER_LINE = rgb('#9a6c0c')

PAPER = rgb('#ffffff')
PAPER_SHADE = rgb('#e3e8f0')
PAPER_LINE = rgb('#59606c')
TEXT_LINE = rgb('#9aa6b8')

STEEL = rgb('#8e99a8')
STEEL_LIGHT = rgb('#d5dbe3')
STEEL_DARK = rgb('#39414d')

CYAN = rgb('#34b6e8')
CYAN_LIGHT = rgb('#c9f1ff')
CYAN_DARK = rgb('#0d6796')

GOLD = rgb('#f2b632')
GOLD_LIGHT = rgb('#ffe08a')
GOLD_DARK = rgb('#7a5208')

WOOD = rgb('#a86a32')
WOOD_DARK = rgb('#5a3410')
CARDBOARD = rgb('#d9a25c')
CARDBOARD_LIGHT = rgb('#eec48a')
CARDBOARD_DARK = rgb('#7c5224')


def linear(x0, y0, c0, x1, y1, c1):
    """Paint varying from c0 at (x0, y0) to c1 at (x1, y1)."""
    dx, dy = x1 - x0, y1 - y0
    dd = dx * dx + dy * dy or 1.0

    def paint(x, y):
        t = ((x - x0) * dx + (y - y0) * dy) / dd
        return mix(c0, c1, min(1.0, max(0.0, t)))
    return paint


def radial(cx, cy, r, c0, c1):
    """Paint going from c0 at the centre to c1 at distance r."""
    def paint(x, y):
        t = math.hypot(x - cx, y - cy) / r
        return mix(c0, c1, min(1.0, t))
    return paint


# --------------------------------------------------------------------------
# Shapes: an inside test plus a bounding box, combinable with | - &
# --------------------------------------------------------------------------

class Shape:
    def __init__(self, inside, bbox):
        self.inside = inside
        self.bbox = bbox            # (x0, y0, x1, y1)

    def hit(self, x, y):
        x0, y0, x1, y1 = self.bbox
        return x0 <= x <= x1 and y0 <= y <= y1 and self.inside(x, y)

    def __or__(self, other):
        a, b = self.bbox, other.bbox
        return Shape(lambda x, y: self.hit(x, y) or other.hit(x, y),
                     (min(a[0], b[0]), min(a[1], b[1]),
                      max(a[2], b[2]), max(a[3], b[3])))

    def __sub__(self, other):
        return Shape(lambda x, y: self.inside(x, y) and not other.hit(x, y),
                     self.bbox)

    def __and__(self, other):
        a, b = self.bbox, other.bbox
        return Shape(lambda x, y: self.inside(x, y) and other.hit(x, y),
                     (max(a[0], b[0]), max(a[1], b[1]),
                      min(a[2], b[2]), min(a[3], b[3])))

    def rotated(self, degrees, cx, cy):
        """The shape turned clockwise (on screen) around (cx, cy)."""
        a = math.radians(degrees)
        ca, sa = math.cos(a), math.sin(a)

        def inside(x, y):
            dx, dy = x - cx, y - cy
            return self.hit(cx + dx * ca + dy * sa, cy - dx * sa + dy * ca)
        x0, y0, x1, y1 = self.bbox
        pts = [(cx + (px - cx) * ca - (py - cy) * sa,
                cy + (px - cx) * sa + (py - cy) * ca)
               for px, py in ((x0, y0), (x1, y0), (x1, y1), (x0, y1))]
        return Shape(inside, (min(p[0] for p in pts), min(p[1] for p in pts),
                              max(p[0] for p in pts), max(p[1] for p in pts)))


def union(*shapes):
    out = shapes[0]
    for s in shapes[1:]:
        out = out | s
    return out


def rect(x0, y0, x1, y1):
    return Shape(lambda x, y: x0 <= x < x1 and y0 <= y < y1, (x0, y0, x1, y1))


def rrect(x0, y0, x1, y1, r):
    """Rectangle with rounded corners of radius r."""
    r = max(0.0, min(r, (x1 - x0) / 2.0, (y1 - y0) / 2.0))

    def inside(x, y):
        if not (x0 <= x < x1 and y0 <= y < y1):
            return False
        dx = max(x0 + r - x, 0.0, x - (x1 - r))
        dy = max(y0 + r - y, 0.0, y - (y1 - r))
        return dx * dx + dy * dy <= r * r
    return Shape(inside, (x0, y0, x1, y1))


def ellipse(cx, cy, rx, ry, angle=0.0):
    """Ellipse, optionally turned clockwise by angle degrees."""
    a = math.radians(angle)
    ca, sa = math.cos(a), math.sin(a)

    def inside(x, y):
        dx, dy = x - cx, y - cy
        u = dx * ca + dy * sa
        v = -dx * sa + dy * ca
        return (u / rx) ** 2 + (v / ry) ** 2 <= 1.0
    m = max(rx, ry)
    return Shape(inside, (cx - m, cy - m, cx + m, cy + m))


def circle(cx, cy, r):
    return ellipse(cx, cy, r, r)


def ring(cx, cy, r, width):
    """Circle outline of the given width, r being the outer radius."""
    return circle(cx, cy, r) - circle(cx, cy, r - width)


def halfplane(px, py, nx, ny):
    """Everything on the side of the line through (px, py) that the
    normal (nx, ny) points to."""
    return Shape(lambda x, y: (x - px) * nx + (y - py) * ny >= 0,
                 (-1e9, -1e9, 1e9, 1e9))


def polygon(pts):
    """Filled polygon (even-odd rule)."""
    pts = list(pts)
    n = len(pts)

    def inside(x, y):
        c = False
        j = n - 1
        for i in range(n):
            xi, yi = pts[i]
            xj, yj = pts[j]
            if (yi > y) != (yj > y):
                if x < (xj - xi) * (y - yi) / (yj - yi) + xi:
                    c = not c
            j = i
        return c
    return Shape(inside, (min(p[0] for p in pts), min(p[1] for p in pts),
                          max(p[0] for p in pts), max(p[1] for p in pts)))


def offset_points(pts, d):
    """Polygon grown outwards by d (shrunk for negative d), mitred corners."""
    n = len(pts)
    area = sum(pts[i][0] * pts[(i + 1) % n][1] - pts[(i + 1) % n][0] * pts[i][1]
               for i in range(n))
    sign = 1.0 if area > 0 else -1.0
    normals = []
    for i in range(n):
        (x0, y0), (x1, y1) = pts[i], pts[(i + 1) % n]
        ln = math.hypot(x1 - x0, y1 - y0) or 1.0
        normals.append((sign * (y1 - y0) / ln, -sign * (x1 - x0) / ln))
    out = []
    for i in range(n):
        n1, n2 = normals[i - 1], normals[i]
        k = 1.0 + n1[0] * n2[0] + n1[1] * n2[1]
        k = max(k, 0.25)            # limit very sharp miters
        out.append((pts[i][0] + d * (n1[0] + n2[0]) / k,
                    pts[i][1] + d * (n1[1] + n2[1]) / k))
    return out


def line(x0, y0, x1, y1, width, cap='round'):
    """Thick line. cap: 'round', 'butt' or 'square'."""
    hw = width / 2.0
    dx, dy = x1 - x0, y1 - y0
    ll = dx * dx + dy * dy or 1e-12
    ext = hw / math.sqrt(ll) if cap == 'square' else 0.0

    def inside(x, y):
        t = ((x - x0) * dx + (y - y0) * dy) / ll
        if cap == 'round':
            t = min(1.0, max(0.0, t))
        elif t < -ext or t > 1.0 + ext:
            return False
        px, py = x0 + t * dx - x, y0 + t * dy - y
        return px * px + py * py <= hw * hw
    return Shape(inside, (min(x0, x1) - hw, min(y0, y1) - hw,
                          max(x0, x1) + hw, max(y0, y1) + hw))


def polyline(pts, width, cap='round'):
    return union(*[line(pts[i][0], pts[i][1], pts[i + 1][0], pts[i + 1][1],
                        width, cap) for i in range(len(pts) - 1)])


def arc(cx, cy, r, width, a0, a1, cap='butt'):
    """Piece of a circle outline centred on radius r, from angle a0 to a1
    (degrees, counter-clockwise on screen, 0 pointing right)."""
    hw = width / 2.0

    def inside(x, y):
        d = math.hypot(x - cx, y - cy)
        if abs(d - r) > hw:
            return False
        a = math.degrees(math.atan2(cy - y, x - cx))
        return (a - a0) % 360.0 <= (a1 - a0) % 360.0
    s = Shape(inside, (cx - r - hw, cy - r - hw, cx + r + hw, cy + r + hw))
    if cap == 'round':
        for a in (a0, a1):
            t = math.radians(a)
            s = s | circle(cx + r * math.cos(t), cy - r * math.sin(t), hw)
    return s


def gear_points(cx, cy, r_out, r_in, teeth, start=0.0):
    """Outline of a cog wheel with trapezoid teeth."""
    pts = []
    step = 2 * math.pi / teeth
    for i in range(teeth):
        a = start + i * step
        for frac, r in ((-0.30, r_in), (-0.17, r_out), (0.17, r_out),
                        (0.30, r_in)):
            t = a + frac * step * 1.6
            pts.append((cx + r * math.cos(t), cy + r * math.sin(t)))
    return pts


# --------------------------------------------------------------------------
# Canvas: premultiplied RGBA floats, painted with coverage from supersampling
# --------------------------------------------------------------------------

# The size a picture is drawn at: the drawing functions work on their own grid
# (16 or 32 units, the design size) and the canvas maps it onto `size` pixels.
RENDER = {'scale': 1.0}


class Canvas:
    def __init__(self, w, h=None):
        self.k = RENDER['scale']            # pixels per design unit
        self.w = int(round(w * self.k))
        self.h = int(round((h if h is not None else w) * self.k))
        self.px = [[0.0, 0.0, 0.0, 0.0] for _ in range(self.w * self.h)]

    def _coverage(self, shape):
        k = self.k
        x0, y0, x1, y1 = shape.bbox
        i0, j0 = max(0, int(math.floor(x0 * k))), max(0, int(math.floor(y0 * k)))
        i1 = min(self.w, int(math.ceil(x1 * k)))
        j1 = min(self.h, int(math.ceil(y1 * k)))
        ss = SS if self.w <= 64 else 2      # large images: fewer samples, as many per unit
        offs = [(n + 0.5) / ss for n in range(ss)]
        for j in range(j0, j1):
            for i in range(i0, i1):
                n = 0
                for sy in offs:
                    for sx in offs:
                        if shape.hit((i + sx) / k, (j + sy) / k):
                            n += 1
                if n:
                    yield i, j, n / float(ss * ss)

    def fill(self, shape, paint, opacity=1.0):
        """Paint the shape (source-over). paint: colour or f(x, y)."""
        for i, j, cov in self._coverage(shape):
            r, g, b, a = paint((i + 0.5) / self.k, (j + 0.5) / self.k) if callable(paint) else paint
            sa = a * cov * opacity
            p = self.px[j * self.w + i]
            k = 1.0 - sa
            p[0] = r * sa + p[0] * k
            p[1] = g * sa + p[1] * k
            p[2] = b * sa + p[2] * k
            p[3] = sa + p[3] * k

    def erase(self, shape):
        """Make the shape transparent again (cuts gaps between parts)."""
        for i, j, cov in self._coverage(shape):
            p = self.px[j * self.w + i]
            for c in range(4):
                p[c] *= 1.0 - cov

    def outlined(self, make, line_paint, fill_paint, width=1.0):
        """make(grow) -> shape grown by `grow` pixels.  Draws the outline
        `width` pixels wide inside the shape's edge, then the fill."""
        self.fill(make(0.0), line_paint)
        self.fill(make(-width), fill_paint)

    def pixel(self, i, j):
        """Straight (not premultiplied) RGBA bytes of one pixel."""
        r, g, b, a = self.px[j * self.w + i]
        ab = int(round(a * 255))
        if ab == 0:
            return (0, 0, 0, 0)
        return (int(round(min(1.0, r / a) * 255)),
                int(round(min(1.0, g / a) * 255)),
                int(round(min(1.0, b / a) * 255)), ab)


# Outlines for polygons: grow/shrink the corner list
def poly_maker(pts):
    return lambda g: polygon(offset_points(pts, g) if g else pts)


def rrect_maker(x0, y0, x1, y1, r):
    return lambda g: rrect(x0 - g, y0 - g, x1 + g, y1 + g, max(0.0, r + g))


def circle_maker(cx, cy, r):
    return lambda g: circle(cx, cy, r + g)


# --------------------------------------------------------------------------
# File writers
# --------------------------------------------------------------------------

def dib32(cv):
    """BITMAPINFOHEADER + bottom-up BGRA pixels + 1-bpp AND mask."""
    w, h = cv.w, cv.h
    xor = bytearray()
    mask = bytearray()
    mask_row = ((w + 31) // 32) * 4
    for j in range(h - 1, -1, -1):
        row = bytearray(mask_row)
        for i in range(w):
            r, g, b, a = cv.pixel(i, j)
            xor += bytes((b, g, r, a))
            if a == 0:
                row[i // 8] |= 0x80 >> (i % 8)
        mask += row
    header = struct.pack('<IiiHHIIiiII', 40, w, h * 2, 1, 32, 0,
                         len(xor) + len(mask), 0, 0, 0, 0)
    return header + bytes(xor) + bytes(mask)


def png(cv):
    """PNG data (8-bit RGBA) of the canvas: how an .ico holds its 256-pixel image."""
    raw = bytearray()
    for j in range(cv.h):
        raw.append(0)                                   # no filter
        for i in range(cv.w):
            raw += bytes(cv.pixel(i, j))

    def chunk(kind, data):
        body = kind + data
        return struct.pack('>I', len(data)) + body + struct.pack('>I', zlib.crc32(body) & 0xffffffff)
    return (b'\x89PNG\r\n\x1a\n' +
            chunk(b'IHDR', struct.pack('>IIBBBBB', cv.w, cv.h, 8, 6, 0, 0, 0)) +
            chunk(b'IDAT', zlib.compress(bytes(raw), 9)) + chunk(b'IEND', b''))


def icon_file(canvases, hotspot=None):
    """.ico data, or .cur data when a hotspot (x, y) is given.  Images of 256
    pixels are stored PNG-compressed, as Windows Vista and later read them."""
    images = [png(cv) if cv.w >= 256 else dib32(cv) for cv in canvases]
    out = struct.pack('<HHH', 0, 2 if hotspot else 1, len(images))
    offset = 6 + 16 * len(images)
    for cv, data in zip(canvases, images):
        if hotspot:
            planes, bits = hotspot
        else:
            planes, bits = 1, 32
        out += struct.pack('<BBBBHHII', cv.w % 256, cv.h % 256, 0, 0,
                           planes, bits, len(data), offset)
        offset += len(data)
    return out + b''.join(images)


FACE = (192, 192, 192)                          # becomes COLOR_3DFACE
REMAPPED = {(192, 192, 192), (128, 128, 128), (223, 223, 223)}


def bmp_file(cv):
    """8-bit palettised bottom-up BMP on the button-face grey.  The program
    loads it with LR_LOADTRANSPARENT | LR_LOADMAP3DCOLORS, which work on the
    colour table only: the first pixel's entry (the grey, palette index 0)
    becomes the page's background.  Pixels are either fully background or
    fully drawn (no blending into the grey), and drawn pixels never use one
    of the three remapped greys."""
    w, h = cv.w, cv.h
    palette = [FACE]
    rows = []
    for j in range(h - 1, -1, -1):
        row = []
        for i in range(w):
            r, g, b, a = cv.pixel(i, j)
            if a < 128:
                colour = FACE
            else:
                colour = (r, g, b)
                if colour in REMAPPED:
                    colour = (r + 1, g + 1, b + 2)   # a visually equal shade
            if colour not in palette:
                palette.append(colour)
            row.append(palette.index(colour))
        rows.append(row)
    assert len(palette) <= 256, 'too many colours for an 8-bit bitmap'
    assert cv.pixel(0, 0)[3] < 128 and cv.pixel(0, h - 1)[3] < 128, 'the corners must be background'
    stride = (w + 3) & ~3
    data = bytearray()
    for row in rows:
        data += bytes(row) + bytes(stride - w)
    table = b''.join(struct.pack('<BBBB', b, g, r, 0) for r, g, b in palette)
    info = struct.pack('<IiiHHIIiiII', 40, w, h, 1, 8, 0, len(data),
                       2835, 2835, len(palette), 0)
    offset = 14 + len(info) + len(table)
    head = struct.pack('<2sIHHI', b'BM', offset + len(data), 0, 0, offset)
    return head + info + table + bytes(data)


def bmp24_file(cv, background):
    """24-bit bottom-up BMP with the picture blended onto an opaque background."""
    w, h = cv.w, cv.h
    stride = (w * 3 + 3) & ~3
    data = bytearray()
    for j in range(h - 1, -1, -1):
        row = bytearray()
        for i in range(w):
            r, g, b, a = cv.pixel(i, j)
            t = a / 255.0
            row += bytes(round(c * t + bg * (1 - t)) for c, bg in ((b, background[2]), (g, background[1]),
                                                                   (r, background[0])))
        row += bytes(stride - len(row))
        data += row
    info = struct.pack('<IiiHHIIiiII', 40, w, h, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    head = struct.pack('<2sIHHI', b'BM', 14 + len(info) + len(data), 0, 0, 14 + len(info))
    return head + info + bytes(data)


# --------------------------------------------------------------------------
# Pieces shared by several pictures
# --------------------------------------------------------------------------

def draw_document(cv, x0, y0, x1, y1, fold, lines=()):
    """Sheet of paper with a dog-eared top right corner and text lines.
    lines: list of (y, x_start, x_end) for the grey text strokes."""
    pts = [(x0, y0), (x1 - fold, y0), (x1, y0 + fold), (x1, y1), (x0, y1)]
    cv.outlined(poly_maker(pts), PAPER_LINE,
                linear(x0, y0, PAPER, x1, y1, PAPER_SHADE))
    for ly, lx0, lx1 in lines:
        cv.fill(rect(lx0, ly, lx1, ly + 1), TEXT_LINE)
    # the folded corner
    cv.fill(polygon([(x1 - fold, y0), (x1 - fold, y0 + fold), (x1, y0 + fold)]),
            PAPER_LINE)
    if fold >= 3:
        cv.fill(polygon([(x1 - fold + 1, y0 + 1.5), (x1 - fold + 1, y0 + fold - 1),
                         (x1 - 1.5, y0 + fold - 1)]), rgb('#dfe4ec'))


def draw_window(cv, x0, y0, x1, y1, bar, frame=BLUE_DARK, title=BLUE,
                page=PAPER):
    """Application window: 1 px frame, coloured title bar `bar` px high."""
    cv.fill(rect(x0, y0, x1, y1), frame)
    cv.fill(rect(x0 + 1, y0 + 1, x1 - 1, y0 + 1 + bar),
            linear(0, y0, mix(title, WHITE, 0.25), 0, y0 + bar, title))
    cv.fill(rect(x0 + 1, y0 + 1 + bar, x1 - 1, y1 - 1), page)


def draw_folder_back(cv, k):
    """Back panel of a folder with its tab (16-unit grid scaled by k)."""
    pts = [(1 * k, 2.5 * k), (6 * k, 2.5 * k), (7.5 * k, 4 * k),
           (15 * k, 4 * k), (15 * k, 14 * k), (1 * k, 14 * k)]
    cv.outlined(poly_maker(pts), FOLDER_LINE,
                linear(0, 2 * k, YELLOW, 0, 14 * k, YELLOW_DARK))


def arrow_points(k, up=True):
    """Bold vertical arrow on the 16 grid."""
    pts = [(8, 1), (15, 8), (11, 8), (11, 15), (5, 15), (5, 8), (1, 8)]
    if not up:
        pts = [(x, 16 - y) for x, y in pts]
    return [(x * k, y * k) for x, y in pts]


# --------------------------------------------------------------------------
# The pictures.  Each takes the size in pixels (16 or 32).
# --------------------------------------------------------------------------

def q_letter(cv, cx, cy, r, stroke, colour):
    """Bold letter Q: a ring with a tail at the lower right."""
    cv.fill(ring(cx, cy, r, stroke), colour)
    t = r - stroke * 0.5
    cv.fill(line(cx + t * 0.35, cy + t * 0.35, cx + r * 1.05, cy + r * 1.05,
                 stroke, 'butt'), colour)


def draw_webdeck(s):
    cv = Canvas(s)
    if s == 16:
        # a second page peeking out behind: the "deck"
        cv.fill(rect(3, 0, 16, 12), BLUE_DARK)
        cv.fill(rect(4, 1, 15, 3), BLUE_LIGHT)
        cv.fill(rect(4, 3, 15, 11), BLUE_PALE)
        draw_window(cv, 0, 3, 14, 16, 2)
        cv.fill(rect(2, 4, 3, 5), WHITE)
        cv.fill(rect(4, 4, 5, 5), WHITE)
        q_letter(cv, 6.5, 10.5, 3.9, 1.7, BLUE)
    else:
        cv.fill(rrect(8, 1, 31, 21, 1.5), BLUE_DARK)
        cv.fill(rect(9, 2, 30, 6), linear(0, 2, BLUE_LIGHT, 0, 6, BLUE))
        cv.fill(rect(9, 6, 30, 20), BLUE_PALE)
        cv.fill(rrect(1, 7, 26, 31, 1.5), BLUE_DARK)
        cv.fill(rect(2, 8, 25, 13), linear(0, 8, BLUE_LIGHT, 0, 13, BLUE))
        cv.fill(rect(2, 13, 25, 30), linear(0, 13, PAPER, 0, 30, PAPER_SHADE))
        for x in (4, 7, 10):
            cv.fill(rect(x, 10, x + 2, 12), WHITE)
        cv.fill(rrect(13, 9.5, 23, 11.5, 1), WHITE)
        q_letter(cv, 13, 21.5, 6.5, 2.8, BLUE)
    return cv


def draw_flying(s):
    cv = Canvas(s)
    if s == 16:
        cv.fill(rrect(0, 0, 16, 16, 2), BLUE_DARK)
        cv.fill(rrect(1, 1, 15, 15, 1.2), linear(0, 1, BLUE_LIGHT, 0, 15, BLUE))
        cv.fill(rect(1, 4, 15, 5), BLUE_DARK)              # toolbar edge
        cv.fill(rect(2, 2, 3, 3), WHITE)
        cv.fill(rect(4, 2, 5, 3), WHITE)
        q_letter(cv, 7.5, 9.5, 4.2, 2.0, WHITE)
    else:
        cv.fill(rrect(0, 0, 32, 32, 4), BLUE_DARK)
        cv.fill(rrect(1, 1, 31, 31, 3), linear(0, 1, BLUE_LIGHT, 0, 31, BLUE))
        cv.fill(rect(1, 8, 31, 9), BLUE_DARK)
        for x in (4, 7, 10):
            cv.fill(rect(x, 3, x + 2, 5), WHITE)
        cv.fill(rrect(14, 3, 28, 5, 1), BLUE_PALE)
        q_letter(cv, 15, 19, 8.2, 3.6, WHITE)
    return cv


def draw_arrow(s, up):
    cv = Canvas(s)
    k = s / 16.0
    paint = linear(0, 0, GREEN_LIGHT, 0, s, GREEN)
    if not up:
        paint = linear(0, s, GREEN_LIGHT, 0, 0, GREEN)
    cv.outlined(poly_maker(arrow_points(k, up)), GREEN_DARK, paint)
    return cv


def draw_up(s):
    return draw_arrow(s, True)


def draw_down(s):
    return draw_arrow(s, False)


def draw_windows_menu(s):
    cv = Canvas(s)
    if s == 16:
        draw_window(cv, 0, 1, 16, 15, 2)
        for y in (6, 8, 10, 12):
            cv.fill(rect(2, y, 3, y + 1), BLUE)
            cv.fill(rect(4, y, 9, y + 1), TEXT_LINE)
        cv.fill(polygon([(10, 8), (15, 8), (12.5, 10.5)]), INK)
    else:
        draw_window(cv, 0, 2, 32, 30, 4)
        for y in (10, 14, 18, 22):
            cv.fill(rect(4, y, 7, y + 2), BLUE)
            cv.fill(rect(9, y, 19, y + 2), TEXT_LINE)
        cv.fill(rect(20, 13, 30, 21), rgb('#e4ebf5'))
        cv.fill(polygon([(21.5, 15), (28.5, 15), (25, 18.5)]), INK)
    return cv


def draw_defaults(s):
    """The ready-made entries: a list with a green plus."""
    cv = Canvas(s)
    if s == 16:
        draw_document(cv, 1, 0, 12, 15, 3, [(5, 3, 9), (8, 3, 9), (11, 3, 7)])
        plus = rect(11, 8, 13, 16) | rect(8, 11, 16, 13)
        cv.fill(rect(10, 7, 14, 16) | rect(7, 10, 16, 14), GREEN_DARK)
        cv.fill(plus, GREEN)
    else:
        draw_document(cv, 2, 0, 24, 30, 6, [(9, 6, 18), (14, 6, 18), (19, 6, 14), (24, 6, 12)])
        cv.fill(rect(20, 14, 28, 32) | rect(14, 20, 32, 28), GREEN_DARK)
        cv.fill(rect(22, 16, 26, 30) | rect(16, 22, 30, 26), GREEN)
    return cv


def draw_remove(s):
    cv = Canvas(s)
    k = s / 16.0
    a, b = 3.5 * k, 12.5 * k
    w = 3.4 if s == 16 else 6.5
    lw = 1.0 if s == 16 else 1.5

    def make(g):
        return (line(a, a, b, b, w + 2 * g, 'round') |
                line(a, b, b, a, w + 2 * g, 'round'))
    cv.fill(make(lw), RED_DARK)
    cv.fill(make(0), linear(0, 0, RED_LIGHT, 0, s, RED))
    return cv


def draw_folder(s):
    cv = Canvas(s)
    k = s // 16
    draw_folder_back(cv, k)
    front = [(1 * k, 6 * k), (15 * k, 6 * k), (15 * k, 14 * k), (1 * k, 14 * k)]
    cv.outlined(poly_maker(front), FOLDER_LINE,
                linear(0, 6 * k, YELLOW_LIGHT, 0, 14 * k, YELLOW))
    return cv


def draw_browse(s):
    cv = Canvas(s)
    k = s // 16
    draw_folder_back(cv, k)
    # the open front flap, tilted
    front = [(3 * k, 7 * k), (16 * k, 7 * k), (14 * k, 14 * k), (1 * k, 14 * k)]
    cv.outlined(poly_maker(front), FOLDER_LINE,
                linear(0, 7 * k, YELLOW_LIGHT, 0, 14 * k, YELLOW))
    # magnifier
    if s == 16:
        cx, cy, r = 10.5, 9.5, 3.5
        cv.fill(line(12.5, 11.5, 15, 14, 2.4, 'round'), INK)
        cv.fill(circle(cx, cy, r), INK)
        cv.fill(circle(cx, cy, r - 1.1), rgb('#bfe4ff'))
        cv.fill(circle(cx - 1, cy - 1, 0.9), WHITE)
    else:
        cx, cy, r = 20.5, 18.5, 7
        cv.fill(line(25, 23, 30, 28, 4.5, 'round'), INK)
        cv.fill(line(25.5, 23.5, 29.5, 27.5, 2, 'round'), STEEL)
        cv.fill(circle(cx, cy, r), INK)
        cv.fill(circle(cx, cy, r - 1.8), radial(cx - 2, cy - 2, 6, WHITE,
                                                 rgb('#9ad2ff')))
        cv.fill(arc(cx, cy, r - 3.2, 1.4, 100, 170), WHITE)
    return cv


def draw_sound(s):
    cv = Canvas(s)
    k = s / 16.0
    body = [(1 * k, 5.5 * k), (4 * k, 5.5 * k), (8.5 * k, 1.5 * k),
            (8.5 * k, 14.5 * k), (4 * k, 10.5 * k), (1 * k, 10.5 * k)]
    if s == 16:
        body = [(1, 5), (4, 5), (8, 1), (9, 1), (9, 15), (8, 15), (4, 11),
                (1, 11)]
    cv.outlined(poly_maker(body), STEEL_DARK,
                linear(0, 0, STEEL_LIGHT, 0, s, STEEL), 1.0 if s == 16 else 1.5)
    if s == 32:
        cv.fill(rect(8, 11, 9, 21), STEEL_DARK)
    wave = rgb('#2f7fe0')
    if s == 16:
        cv.fill(arc(8, 8, 3.6, 1.3, -45, 45), wave)
        cv.fill(arc(8, 8, 6.4, 1.3, -50, 50), wave)
    else:
        cv.fill(arc(17, 16, 5, 2.4, -45, 45, 'round'), wave)
        cv.fill(arc(17, 16, 10, 2.4, -50, 50, 'round'), wave)
    return cv


def draw_globe(cv, cx, cy, r, s):
    """Blue globe with meridians and parallels."""
    lw = 1.0 if s == 16 else 1.4
    cv.fill(circle(cx, cy, r), BLUE_DARK)
    cv.fill(circle(cx, cy, r - lw),
            radial(cx - r * 0.4, cy - r * 0.4, r * 1.5, rgb('#9fd0ff'), BLUE))
    grid = with_alpha(WHITE, 0.75)
    inner = circle(cx, cy, r - lw)
    t = 0.8 if s == 16 else 1.0
    cv.fill((ellipse(cx, cy, r * 0.45, r) -
             ellipse(cx, cy, r * 0.45 - t, r - t)) & inner, grid)
    cv.fill(rect(cx - t / 2, cy - r, cx + t / 2, cy + r) & inner, grid)
    cv.fill(rect(cx - r, cy - t / 2, cx + r, cy + t / 2) & inner, grid)
    if s == 32:
        for dy in (-r * 0.5, r * 0.5):
            cv.fill(rect(cx - r, cy + dy - 0.5, cx + r, cy + dy + 0.5) & inner,
                    grid)


def draw_ie(s):
    cv = Canvas(s)
    c = s / 2.0
    r = 5.5 if s == 16 else 11.5
    rx, ry, ang = (7.6, 2.6, -25) if s == 16 else (15.5, 5.2, -25)
    w = 1.4 if s == 16 else 2.4
    orbit = ellipse(c, c, rx, ry, ang) - ellipse(c, c, rx - w, ry - w * 0.8, ang)
    a = math.radians(ang)
    front = halfplane(c, c, -math.sin(a), math.cos(a))   # lower half
    orange = rgb('#f59a23')
    cv.fill(orbit - front, rgb('#c46a0a'))
    draw_globe(cv, c, c, r, s)
    # a thin gap where the ring passes in front of the globe
    cv.erase((ellipse(c, c, rx + 0.8, ry + 0.8, ang) -
              ellipse(c, c, rx - w - 0.8, ry - w * 0.8 - 0.8, ang)) & front &
             circle(c, c, r - 0.3))
    cv.fill(orbit & front, orange)
    return cv


def draw_windows(s):
    cv = Canvas(s)
    if s == 16:
        cv.fill(rect(0, 1, 16, 12), STEEL_DARK)
        cv.fill(rect(1, 2, 15, 11), linear(0, 2, rgb('#5fb2f0'), 0, 11,
                                            rgb('#1d6fc4')))
        cv.fill(rect(1, 10, 15, 11), rgb('#0e2e5c'))          # taskbar
        cv.fill(rect(1, 10, 3, 11), rgb('#5ad25a'))           # start button
        draw_window(cv, 5, 3, 13, 9, 1, frame=rgb('#0e2e5c'), title=BLUE)
        cv.fill(rect(7, 12, 9, 14), STEEL)
        cv.fill(rect(4, 14, 12, 15), STEEL_DARK)
    else:
        cv.fill(rrect(0, 2, 32, 24, 1.5), STEEL_DARK)
        cv.fill(rect(2, 4, 30, 22), linear(0, 4, rgb('#6cbcf4'), 0, 22,
                                            rgb('#1d6fc4')))
        cv.fill(rect(2, 19, 30, 22), rgb('#0e2e5c'))
        cv.fill(rrect(2, 19, 7, 22, 1), rgb('#4cc44c'))
        cv.fill(rect(9, 20, 12, 21), rgb('#6d8fc4'))
        draw_window(cv, 10, 6, 25, 17, 2, frame=rgb('#0e2e5c'))
        cv.fill(rect(12, 10, 22, 11), TEXT_LINE)
        cv.fill(rect(12, 12, 19, 13), TEXT_LINE)
        cv.fill(polygon([(13, 24), (19, 24), (20, 28), (12, 28)]), STEEL)
        cv.fill(rrect(7, 27, 25, 30, 1), STEEL_DARK)
        cv.fill(rect(8, 27, 24, 28), STEEL)
    return cv


def draw_gear(cv, cx, cy, r_out, r_in, teeth, hole, lw):
    def make(g):
        pts = gear_points(cx, cy, r_out + g, r_in + g, teeth)
        return polygon(pts) - circle(cx, cy, hole - g)
    cv.outlined(make, STEEL_DARK, linear(cx - r_out, cy - r_out, STEEL_LIGHT,
                                         cx + r_out, cy + r_out, STEEL), lw)


def draw_small_gear(cv, cx, cy):
    """9 px cog for the 16x16 size: eight 2 px teeth, a light face."""
    tooth = rect(cx - 1, cy - 4.5, cx + 1, cy + 4.5)
    teeth = [tooth.rotated(a, cx, cy) for a in (0, 45, 90, 135)]
    cv.fill(union(circle(cx, cy, 3.5), *teeth), STEEL_DARK)
    cv.fill(circle(cx, cy, 2.5), linear(cx - 3, cy - 3, STEEL_LIGHT,
                                        cx + 3, cy + 3, STEEL))
    cv.erase(circle(cx, cy, 1.1))


def draw_delete_options(s):
    cv = Canvas(s)
    if s == 16:
        draw_document(cv, 1, 0, 12, 15, 3,
                      [(5, 3, 9), (7, 3, 9), (9, 3, 6)])
        draw_small_gear(cv, 12, 12)
    else:
        draw_document(cv, 3, 1, 23, 29, 6,
                      [(9, 6, 17), (12, 6, 19), (15, 6, 15), (18, 6, 13)])
        draw_gear(cv, 22, 22, 9.4, 7.0, 8, 2.6, 1.5)
    return cv


def draw_shred(s):
    cv = Canvas(s)
    if s == 16:
        draw_document(cv, 4, 0, 12, 7, 0, [(2, 6, 10), (4, 6, 10)])
        # strips coming out underneath
        for x, y1 in ((4, 15), (6, 14), (8, 16), (10, 15)):
            cv.fill(rect(x, 10, x + 2, y1), PAPER_LINE)
            cv.fill(rect(x + 0.0, 10, x + 1, y1 - 1), PAPER)
        cv.fill(rrect(0, 5, 16, 11, 1), STEEL_DARK)
        cv.fill(rect(1, 6, 15, 10), linear(0, 6, STEEL_LIGHT, 0, 10, STEEL))
        cv.fill(rect(3, 7, 13, 8), INK)                       # the slot
    else:
        draw_document(cv, 8, 0, 24, 14, 0, [(4, 11, 21), (7, 11, 21),
                                            (10, 11, 18)])
        for x, y1 in ((7, 30), (10, 28), (13, 31), (16, 29), (19, 30),
                      (22, 28)):
            cv.fill(rect(x, 19, x + 3, y1), PAPER_LINE)
            cv.fill(rect(x + 0.0, 19, x + 2, y1 - 1), PAPER)
            cv.fill(rect(x + 0.5, 22, x + 1.5, 23), TEXT_LINE)
        cv.fill(rrect(1, 11, 31, 21, 2), STEEL_DARK)
        cv.fill(rrect(2, 12, 30, 20, 1.2), linear(0, 12, STEEL_LIGHT, 0, 20,
                                                    STEEL))
        cv.fill(rect(5, 14, 27, 16), INK)
        cv.fill(circle(27, 18, 1.2), rgb('#3ed04a'))
    return cv


def draw_padlock(cv, x0, y0, w, h, s):
    """Padlock whose body's top left corner is (x0, y0)."""
    lw = 1.0 if s == 16 else 1.5
    cx = x0 + w / 2.0
    sr = w * 0.32                                # shackle radius
    sw = 1.6 if s == 16 else 2.6                 # shackle thickness
    top = y0 - sr * 1.2
    shackle = (arc(cx, top + sr, sr, sw, 0, 180) |
               rect(cx - sr - sw / 2, top + sr, cx - sr + sw / 2, y0 + 1) |
               rect(cx + sr - sw / 2, top + sr, cx + sr + sw / 2, y0 + 1))
    cv.fill(shackle, STEEL_DARK)
    cv.outlined(rrect_maker(x0, y0, x0 + w, y0 + h, 1.0 if s == 16 else 2.0),
                GOLD_DARK, linear(0, y0, GOLD_LIGHT, 0, y0 + h, GOLD), lw)
    if s == 16:
        cv.fill(rect(cx - 0.5, y0 + 2, cx + 0.5, y0 + h - 1), GOLD_DARK)
    else:
        cv.fill(circle(cx, y0 + h * 0.42, 1.6), GOLD_DARK)
        cv.fill(rect(cx - 0.75, y0 + h * 0.42, cx + 0.75, y0 + h - 3),
                GOLD_DARK)


def draw_locked(s):
    cv = Canvas(s)
    if s == 16:
        draw_document(cv, 1, 0, 12, 15, 3, [(5, 3, 9), (7, 3, 9), (9, 3, 6)])
        draw_padlock(cv, 8, 10, 8, 6, s)
    else:
        draw_document(cv, 3, 1, 23, 29, 6,
                      [(9, 6, 17), (12, 6, 19), (15, 6, 15), (18, 6, 13)])
        draw_padlock(cv, 15, 19, 16, 12, s)
    return cv


def bubble(cv, cx, cy, r, s):
    lw = 1.0 if s == 16 else 1.5
    cv.fill(circle(cx, cy, r), CYAN_DARK)
    cv.fill(circle(cx, cy, r - lw),
            radial(cx - r * 0.35, cy - r * 0.35, r * 1.3, CYAN_LIGHT, CYAN))
    if r >= 2.5:
        cv.fill(ellipse(cx - r * 0.38, cy - r * 0.4, r * 0.32, r * 0.2, -40),
                WHITE)


def draw_wash(s):
    cv = Canvas(s)
    if s == 16:
        bubble(cv, 6, 10, 5.8, s)
        bubble(cv, 12.5, 4.5, 3.4, s)
        bubble(cv, 13, 12.5, 2.5, s)
        bubble(cv, 5, 1.8, 1.6, s)
    else:
        bubble(cv, 12, 20, 11.5, s)
        bubble(cv, 25, 9, 6.5, s)
        bubble(cv, 26.5, 25, 4.5, s)
        bubble(cv, 9, 4, 3.2, s)
    return cv


def draw_broom(s):
    cv = Canvas(s)
    k = s / 16.0
    ang = 40
    c = 8 * k
    # drawn upright, then tilted
    if s == 16:
        handle = rect(7, -3, 9, 8)
        band = rect(5, 7.5, 11, 9.5)
        head = polygon([(5.5, 9.5), (10.5, 9.5), (13, 17), (3, 17)])
    else:
        handle = rect(14.5, -6, 17.5, 16)
        band = rect(10, 15, 22, 19)
        head = polygon([(11, 19), (21, 19), (26, 34), (6, 34)])
    handle = handle.rotated(ang, c, c)
    band = band.rotated(ang, c, c)
    cv.fill(handle, WOOD_DARK if s == 32 else rgb('#8e5424'))
    if s == 32:
        inner = rect(15.5, -6, 16.5, 15).rotated(ang, c, c)
        cv.fill(inner, WOOD)
    cv.fill(head.rotated(ang, c, c), rgb('#8a6410'))
    if s == 16:
        inner_head = polygon([(6.5, 10.5), (9.5, 10.5), (11.8, 16),
                              (4.2, 16)])
    else:
        inner_head = polygon([(12.5, 20.5), (19.5, 20.5), (24.2, 33),
                              (7.8, 33)])
    cv.fill(inner_head.rotated(ang, c, c),
            linear(0, 0, rgb('#ffe07a'), s, s, rgb('#e0a82e')))
    # bristle lines
    for t in ((-0.35, 0.35) if s == 16 else (-0.5, 0, 0.5)):
        if s == 16:
            ln = line(8 + t * 4, 10.5, 8 + t * 9, 16.5, 0.7, 'butt')
        else:
            ln = line(16 + t * 6, 21, 16 + t * 14, 33, 1.0, 'butt')
        cv.fill(ln.rotated(ang, c, c), rgb('#b8861c'))
    cv.fill(band, RED_DARK)
    if s == 32:
        cv.fill(rect(11, 16, 21, 18).rotated(ang, c, c), RED)
    return cv


def draw_sponge(s):
    cv = Canvas(s)
    if s == 16:
        cv.fill(rrect(0, 6, 16, 16, 2), rgb('#9a7410'))
        cv.fill(rrect(1, 7, 15, 15, 1.2), linear(0, 7, rgb('#ffe680'), 0, 15,
                                                  rgb('#f2c230')))
        cv.fill(rect(1, 7, 15, 9), rgb('#3da84a'))          # scouring side
        for x, y in ((3.5, 11.5), (7.5, 12.5), (11.5, 11), (9.5, 10.2),
                     (5.5, 13.6), (13, 13.5)):
            cv.fill(circle(x, y, 0.7), rgb('#c8961c'))
        bubble(cv, 4.5, 3.5, 3.0, s)
        bubble(cv, 11, 3, 2.2, s)
    else:
        cv.fill(rrect(1, 12, 31, 31, 3), rgb('#9a7410'))
        cv.fill(rrect(2.5, 13.5, 29.5, 29.5, 2), linear(0, 13, rgb('#ffe680'),
                                                         0, 30, rgb('#f2c230')))
        cv.fill(rrect(2.5, 13.5, 29.5, 18, 1.5), rgb('#3da84a'))
        cv.fill(rect(2.5, 17, 29.5, 18), rgb('#2a7a34'))
        for x, y, r in ((6, 22, 1.3), (12, 25, 1.6), (19, 21.5, 1.2),
                        (24, 25.5, 1.5), (8.5, 27, 0.9), (16, 27.5, 1.0),
                        (26.5, 21, 0.9), (14.5, 21, 0.8)):
            cv.fill(circle(x, y, r), rgb('#c8961c'))
        bubble(cv, 8, 6.5, 5, s)
        bubble(cv, 19, 4.5, 3.6, s)
        bubble(cv, 26, 8.5, 2.6, s)
    return cv


def draw_box(cv, s, k):
    """Open cardboard box in the lower part of the picture."""
    lw = 1.0 if s == 16 else 1.5
    # open flaps
    left = [(2 * k, 8 * k), (8 * k, 8 * k), (6 * k, 5 * k), (0 * k, 5 * k)]
    right = [(8 * k, 8 * k), (14 * k, 8 * k), (16 * k, 5 * k), (10 * k, 5 * k)]
    for pts in (left, right):
        cv.outlined(poly_maker(pts), CARDBOARD_DARK, CARDBOARD_LIGHT, lw)
    body = [(2 * k, 8 * k), (14 * k, 8 * k), (14 * k, 15 * k), (2 * k, 15 * k)]
    cv.outlined(poly_maker(body), CARDBOARD_DARK,
                linear(0, 8 * k, CARDBOARD, 0, 15 * k, rgb('#c08444')), lw)
    cv.fill(rect(2 * k, 8 * k, 14 * k, 8 * k + (1 if s == 16 else 2)),
            CARDBOARD_DARK)
    if s == 32:
        cv.fill(rect(13, 17, 19, 19), rgb('#f3d9b0'))         # label


def draw_setup(s):
    cv = Canvas(s)
    k = s // 16
    draw_box(cv, s, k)
    pts = [(6, 0), (10, 0), (10, 5), (13, 5), (8, 10), (3, 5), (6, 5)]
    pts = [(x * k, y * k) for x, y in pts]
    cv.outlined(poly_maker(pts), BLUE_DARK,
                linear(0, 0, BLUE_LIGHT, 0, 10 * k, BLUE))
    return cv


def draw_uninstall(s):
    cv = Canvas(s)
    k = s // 16
    draw_box(cv, s, k)
    pts = [(8, 0), (13, 5), (10, 5), (10, 10), (6, 10), (6, 5), (3, 5)]
    pts = [(x * k, y * k) for x, y in pts]
    cv.outlined(poly_maker(pts), RED_DARK,
                linear(0, 0, RED_LIGHT, 0, 10 * k, RED))
    return cv


# ---- the window picker of the Boss-Key page -------------------------------

FLAG_RED = rgb('#e0281e')
FLAG_RED_DARK = rgb('#8c0f0a')
POLE = rgb('#2a2f38')
BASE = rgb('#4a505a')
BASE_LIGHT = rgb('#8f97a3')


def draw_flag_base(cv):
    cv.fill(rect(2, 13, 10, 16), INK)
    cv.fill(rect(3, 13, 9, 15), BASE)
    cv.fill(rect(3, 13, 9, 14), BASE_LIGHT)
    cv.fill(rect(5, 12, 7, 13), INK)                       # the socket


def draw_flag_bmp(s):
    cv = Canvas(16)
    draw_flag_base(cv)
    cv.fill(rect(5, 1, 6, 13), POLE)
    cv.fill(rect(5, 0, 6, 1), GOLD)
    cv.fill(rect(6, 1, 15, 8), FLAG_RED_DARK)
    cv.fill(rect(6, 2, 14, 7), FLAG_RED)
    cv.fill(rect(6, 2, 14, 3), rgb('#ff6a5a'))
    return cv


def draw_flag_empty_bmp(s):
    cv = Canvas(16)
    draw_flag_base(cv)
    dots = rgb('#6a707a')
    for y in range(1, 12, 2):                                  # the pole
        cv.fill(rect(5, y, 6, y + 1), dots)
    for x in range(7, 15, 2):                                  # the cloth
        cv.fill(rect(x, 1, x + 1, 2), dots)
        cv.fill(rect(x, 7, x + 1, 8), dots)
    for y in range(3, 7, 2):
        cv.fill(rect(14, y, 15, y + 1), dots)
    return cv


def draw_flag_cursor(s):
    """Flag on a pole whose pointed foot, the hotspot, is at (5, 31)."""
    cv = Canvas(32)
    cloth = [(6, 3), (16, 1), (28, 4), (28, 16), (16, 13), (6, 15)]

    def pole(g):
        return polygon(offset_points([(4.5, 1), (6.5, 1), (6.5, 27),
                                      (5.5, 31), (4.5, 27)], g))
    cv.fill(pole(1.0), INK)
    cv.fill(poly_maker(cloth)(1.0), INK)
    cv.fill(pole(0), linear(4, 0, STEEL_LIGHT, 7, 0, STEEL))
    cv.fill(poly_maker(cloth)(0), linear(6, 0, RED_LIGHT, 28, 14, FLAG_RED))
    cv.fill(polygon([(7, 11), (16, 9), (28, 12), (28, 16), (16, 13), (7, 15)]),
            FLAG_RED_DARK, 0.35)
    cv.fill(circle(5.5, 1.5, 1.8), INK)
    cv.fill(circle(5.5, 1.5, 1.0), GOLD)
    return cv


def draw_hand_cursor(s):
    """Open hand "grab here", black outline, white fill.  The hotspot is
    the centre of the palm, (15, 20)."""
    cv = Canvas(32)
    # fingers 3 px wide on a 4 px pitch: the grown outlines meet in between
    fingers = [(9.5, 16, 9.5, 6.5), (13.5, 15, 13.5, 3.5),
               (17.5, 15, 17.5, 4.5), (21.5, 16, 21.5, 8.5)]
    thumb = (8.5, 23, 4.5, 16.5)

    def hand(g):
        parts = [line(x0, y0, x1, y1, 3.0 + 2 * g) for x0, y0, x1, y1 in
                 fingers]
        parts.append(line(*thumb, width=3.4 + 2 * g))
        parts.append(rrect(8 - g, 14 - g, 23 + g, 29 + g, 4 + g))
        return union(*parts)
    cv.fill(hand(1.0), BLACK)
    cv.fill(hand(0.0), WHITE)
    cv.fill(line(9, 24, 11.5, 21.5, 1.0, 'butt'), BLACK)     # thumb crease
    return cv


def draw_wash_now(s):
    """"Wash this item now": a bold arrow pointing right, for the small
    buttons beside the Wash page's check boxes."""
    cv = Canvas(s)
    k = s / 16.0
    pts = [(1.5 * k, 5.5 * k), (8 * k, 5.5 * k), (8 * k, 1.5 * k), (15 * k, 8 * k),
           (8 * k, 14.5 * k), (8 * k, 10.5 * k), (1.5 * k, 10.5 * k)]
    cv.outlined(poly_maker(pts), BLUE_DARK, linear(0, 0, BLUE_LIGHT, 0, s, BLUE),
                1.0 if s == 16 else 1.5)
    return cv


# --------------------------------------------------------------------------

ICONS = [
    ('webdeck.ico', draw_webdeck),
    ('flying.ico', draw_flying),
    ('up.ico', draw_up),
    ('down.ico', draw_down),
    ('windows_menu.ico', draw_windows_menu),
    ('remove.ico', draw_remove),
    ('defaults.ico', draw_defaults),
    ('browse.ico', draw_browse),
    ('sound.ico', draw_sound),
    ('folder.ico', draw_folder),
    ('ie.ico', draw_ie),
    ('windows.ico', draw_windows),
    ('delete_options.ico', draw_delete_options),
    ('shred.ico', draw_shred),
    ('locked.ico', draw_locked),
    ('wash.ico', draw_wash),
    ('broom.ico', draw_broom),
    ('sponge.ico', draw_sponge),
    ('setup.ico', draw_setup),
    ('uninstall.ico', draw_uninstall),
]

GLYPHS = [
    ('wash_now.ico', draw_wash_now),
]

CURSORS = [
    ('flag_drag.cur', draw_flag_cursor, (5, 31)),
    ('hand.cur', draw_hand_cursor, (15, 20)),
]

BITMAPS = [
    ('flag.bmp', draw_flag_bmp),
    ('flag_empty.bmp', draw_flag_empty_bmp),
]


# Every icon holds the sizes that the usual display scalings ask for: the small
# icon at 100, 125, 150 and 200 % (16, 20, 24, 32), the large one (32, 40, 48)
# and the 256-pixel image of Explorer's large views.  Small sizes are drawn from
# the pixel-tuned 16-unit design, larger ones from the 32-unit design.
ICON_SIZES = (16, 20, 24, 32, 40, 48, 256)
# Glyphs for the smallest buttons have more small sizes besides.
GLYPH_SIZES = (8, 10, 12, 14) + ICON_SIZES


def drawn(draw, size):
    """The picture at `size` pixels."""
    design = 16 if size < 32 else 32
    RENDER['scale'] = size / float(design)
    try:
        return draw(design)
    finally:
        RENDER['scale'] = 1.0


def write(name, data):
    path = os.path.join(HERE, name)
    try:
        with open(path, 'rb') as f:
            if f.read() == data:
                return False
    except OSError:
        pass
    with open(path, 'wb') as f:
        f.write(data)
    return True


def main(argv):
    only = set(argv[1:])
    jobs = ([(n, lambda d=d: icon_file([drawn(d, size) for size in ICON_SIZES])) for n, d in ICONS] +
            [(n, lambda d=d: icon_file([drawn(d, size) for size in GLYPH_SIZES])) for n, d in GLYPHS] +
            [(n, lambda d=d, h=h: icon_file([d(32)], h)) for n, d, h in CURSORS] +
            [(n, lambda d=d: bmp_file(d(16))) for n, d in BITMAPS] +
            # setup's header picture, on the header band's white
            [('setup_header.bmp', lambda: bmp24_file(draw_setup(32), (255, 255, 255)))])
    for name, build in jobs:
        if only and name not in only:
            continue
        changed = write(name, build())
        print('%-20s %s' % (name, 'written' if changed else 'unchanged'))


if __name__ == '__main__':
    main(sys.argv)
