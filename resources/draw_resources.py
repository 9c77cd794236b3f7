#!/usr/bin/env python3
"""Draws Tapwire's resource pictures and writes them as Windows files.

Writes, next to this script:
  tapwire.ico  application icon (a toilet), 32x32 and 16x16, 4 bits per pixel
  help.ico     help icon (speech bubble with a question mark), same format
  logo.bmp     the maker's logo, 124x76, 24 bits per pixel
  hand.cur     link cursor (pointing hand), 32x32, hot spot at the fingertip
  icons/tapwire-N.png  the application icon for the desktop's icon theme at
               16, 32, 64, 128 and 256 pixels: each drawing enlarged by a
               whole factor, every pixel becoming a square block, never blurred

Standard library only, and fully deterministic, so running it again gives
byte-identical files. The build embeds the files; it never runs this script.
"""

import math
import pathlib
import struct
import zlib

HERE = pathlib.Path(__file__).resolve().parent

# The standard 16-colour Windows palette, in palette order, as (r, g, b).
PALETTE = [
    (0x00, 0x00, 0x00),  # black
    (0x80, 0x00, 0x00),  # dark red
    (0x00, 0x80, 0x00),  # dark green
    (0x80, 0x80, 0x00),  # olive
    (0x00, 0x00, 0x80),  # navy
    (0x80, 0x00, 0x80),  # purple
    (0x00, 0x80, 0x80),  # teal
    (0xC0, 0xC0, 0xC0),  # silver
    (0x80, 0x80, 0x80),  # grey
    (0xFF, 0x00, 0x00),  # red
    (0x00, 0xFF, 0x00),  # lime
    (0xFF, 0xFF, 0x00),  # yellow
    (0x00, 0x00, 0xFF),  # blue
    (0xFF, 0x00, 0xFF),  # fuchsia
    (0x00, 0xFF, 0xFF),  # aqua
    (0xFF, 0xFF, 0xFF),  # white
]
BLACK, SILVER, GREY, BLUE, NAVY, WHITE = 0, 7, 8, 12, 4, 15
CLEAR = None  # transparent pixel: AND-mask bit set

# Characters used by the hand-drawn pixel grids below.
GRID_CODES = {".": CLEAR, "X": BLACK, "o": WHITE, "s": SILVER, "g": GREY, "b": BLUE, "n": NAVY}


# ---------------------------------------------------------------------------
# Shapes, in unit coordinates: (0, 0) is the top-left corner of the picture,
# (1, 1) the bottom-right, so one description serves every pixel size.


def rounded_rect(x0, y0, x1, y1, r):
    def inside(u, v):
        if not (x0 <= u <= x1 and y0 <= v <= y1):
            return False
        cx = min(max(u, x0 + r), x1 - r)
        cy = min(max(v, y0 + r), y1 - r)
        return (u - cx) ** 2 + (v - cy) ** 2 <= r * r

    return inside


def ellipse(cx, cy, rx, ry):
    return lambda u, v: ((u - cx) / rx) ** 2 + ((v - cy) / ry) ** 2 <= 1.0


def polygon(points):
    def inside(u, v):
        hit = False
        for (xa, ya), (xb, yb) in zip(points, points[1:] + points[:1]):
            if (ya > v) != (yb > v) and u < xa + (v - ya) * (xb - xa) / (yb - ya):
                hit = not hit
        return hit

    return inside


def both(a, b):
    return lambda u, v: a(u, v) and b(u, v)


def either(*shapes):
    return lambda u, v: any(s(u, v) for s in shapes)


def below(y):
    return lambda u, v: v >= y


class Part:
    """One filled region of a drawing. Parts later in a list are in front.

    Parts of the same `group` join without a line between them; parts with
    `outline=False` (shadows) get no outline of their own. `shade` is
    (grey, silver): how many pixels inside the right-hand edge are drawn grey,
    then silver, so the shading follows the shape's contour as if lit from the
    left.
    """

    def __init__(self, shape, fill, group, outline=True, shade=(0, 0)):
        self.shape = shape
        self.fill = fill
        self.group = group
        self.outline = outline
        self.shade = shade


def render(size, parts):
    """Rasterises parts at pixel centres and draws 1-pixel black outlines.

    A pixel becomes outline when a 4-neighbour shows something behind it (a
    part further back, or the background), so every shape gets exactly one
    line along its edge and touching shapes share theirs.
    """
    owner = [[-1] * size for _ in range(size)]
    for y in range(size):
        for x in range(size):
            u, v = (x + 0.5) / size, (y + 0.5) / size
            for i, part in enumerate(parts):
                if part.shape(u, v):
                    owner[y][x] = i

    def group(x, y):
        inside = 0 <= x < size and 0 <= y < size and owner[y][x] >= 0
        return parts[owner[y][x]].group if inside else None

    def behind(x, y, i):
        if group(x, y) is None:
            return True
        return owner[y][x] < i and group(x, y) != parts[i].group

    pixels = [[CLEAR] * size for _ in range(size)]
    for y in range(size):
        for x in range(size):
            i = owner[y][x]
            if i < 0:
                continue
            part = parts[i]
            edge = any(behind(x + dx, y + dy, i) for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1)))
            if part.outline and edge:
                pixels[y][x] = BLACK
                continue
            to_right = 1
            while group(x + to_right, y) == part.group:
                to_right += 1
            grey, silver = part.shade
            if to_right <= grey + 1:
                pixels[y][x] = GREY
            elif to_right <= grey + silver + 1:
                pixels[y][x] = SILVER
            else:
                pixels[y][x] = part.fill
    return pixels


def grid(rows):
    """A hand-drawn pixel picture: one string per row, see GRID_CODES."""
    assert all(len(row) == len(rows) for row in rows), "grids are square"
    return [[GRID_CODES[c] for c in row] for row in rows]


def stamp(pixels, glyph_rows, left, top):
    """Draws a small grid picture over `pixels`; '.' leaves pixels as they are."""
    for dy, row in enumerate(glyph_rows):
        for dx, c in enumerate(row):
            if c != ".":
                pixels[top + dy][left + dx] = GRID_CODES[c]
    return pixels


# ---------------------------------------------------------------------------
# The application icon: a white toilet seen from the front. The 32-pixel image
# is drawn from shapes; at 16 pixels outlines would swallow those shapes, so
# that size is drawn pixel by pixel.


def toilet_32():
    parts = [
        # Cistern, with its lid as a slightly wider slab on top.
        Part(rounded_rect(0.22, 0.12, 0.78, 0.43, 0.05), WHITE, "cistern", shade=(2, 3)),
        Part(rounded_rect(0.17, 0.05, 0.83, 0.16, 0.03), WHITE, "lid", shade=(2, 3)),
        # Pedestal and bowl, the bowl a half ellipse under the seat rim.
        Part(
            polygon([(0.35, 0.62), (0.65, 0.62), (0.62, 0.86), (0.72, 0.97), (0.28, 0.97),
                     (0.38, 0.86)]),
            WHITE, "pedestal", shade=(1, 2)),
        Part(both(ellipse(0.5, 0.45, 0.42, 0.30), below(0.45)), WHITE, "bowl", shade=(2, 3)),
        Part(rounded_rect(0.06, 0.40, 0.94, 0.52, 0.04), WHITE, "seat", shade=(2, 3)),
    ]
    pixels = render(32, parts)
    # The flush lever: a small grey handle on the cistern's upper left.
    return stamp(pixels, ["XXXXX", "XssgX", "XXXXX"], 9, 6)


TOILET_16 = [
    "................",
    ".XXXXXXXXXXXXXX.",
    ".XoooooooooosgX.",
    ".XXXXXXXXXXXXXX.",
    "..XoooooooosgX..",
    "..XoXXXoooosgX..",
    "..XoooooooosgX..",
    "XXXXXXXXXXXXXXXX",
    "XooooooooooossgX",
    "XXXXXXXXXXXXXXXX",
    ".XooooooooossgX.",
    "..XoooooooosgX..",
    "...XXoooosgXX...",
    ".....XoosgX.....",
    "....XoooosgX....",
    "....XXXXXXXX....",
]


def toilet(size):
    return toilet_32() if size == 32 else grid(TOILET_16)


# ---------------------------------------------------------------------------
# The help icon: a white speech bubble with a grey shadow and a blue "?".

QUESTION_32 = [
    "..nbbbbbn..",
    ".bbbbbbbbb.",
    "nbbbn.nbbbn",
    "bbbn...bbbb",
    ".......bbbb",
    "......nbbbn",
    ".....nbbbn.",
    "....nbbbn..",
    "....bbbb...",
    "....bbbb...",
    "...........",
    "....bbbb...",
    "....bbbb...",
]

QUESTION_16 = [
    ".bbb.",
    "bb.bb",
    "..bb.",
    "..b..",
    ".....",
    "..b..",
]
BUBBLE_16 = [
    "................",
    "....XXXXXXX.....",
    "..XXoooooooXX...",
    ".XoooooooooooX..",
    "XoooooooooooooXg",
    "XoooooooooooooXg",
    "XoooooooooooooXg",
    "XoooooooooooooXg",
    ".XoooooooooooXgg",
    "..XXoooooooXXgg.",
    "...XoXXXXXXXgg..",
    "...XoXggggggg...",
    "..XoXgg.........",
    "..XXgg..........",
    "...gg...........",
    "................",
]


def bubble_shape(dx, dy):
    body = ellipse(0.50 + dx, 0.42 + dy, 0.45, 0.36)
    tail = polygon([(0.18 + dx, 0.62 + dy), (0.42 + dx, 0.74 + dy), (0.14 + dx, 0.93 + dy),
                    (0.09 + dx, 0.93 + dy)])
    return either(body, tail)


def help_bubble(size):
    if size != 32:
        return stamp(grid(BUBBLE_16), QUESTION_16, 5, 3)
    parts = [
        Part(bubble_shape(0.06, 0.05), GREY, "shadow", outline=False),
        Part(bubble_shape(0.0, 0.0), WHITE, "bubble"),
    ]
    return stamp(render(32, parts), QUESTION_32, 11, 6)


# ---------------------------------------------------------------------------
# The link cursor: a white hand with a black outline, index finger up. The
# fingertip's top pixel is (6, 1), which is the cursor's hot spot.

HAND_HOT_SPOT = (6, 1)
HAND_32 = [
    "................................",
    "......XX........................",
    ".....XooX.......................",
    ".....XooX.......................",
    ".....XooX.......................",
    ".....XooX.......................",
    ".....XooX.......................",
    ".....XooXXX.....................",
    ".....XooXooXXX..................",
    ".....XooXooXooXX................",
    ".....XooXooXooXoX...............",
    ".....XooXooXooXooX..............",
    ".XX..XooXooXooXooX..............",
    "XooX.XooXooXooXooX..............",
    "XoooXXoooooooooooX..............",
    ".XoooXoooooooooooX..............",
    "..XoooooooooooooooX.............",
    "..XoooooooooooooooX.............",
    "...XooooooooooooooX.............",
    "...XoooooooooooooX..............",
    "....XooooooooooooX..............",
    "....XooooooooooooX..............",
    ".....XooooooooooX...............",
    ".....XooooooooooX...............",
    ".....XXXXXXXXXXXX...............",
] + ["." * 32] * 7


def hand(size):
    assert size == 32, "the cursor has one size"
    return grid(HAND_32)


# ---------------------------------------------------------------------------
# Windows icon and cursor files: an ICONDIR, one entry per image, then each
# image as a BITMAPINFOHEADER, the 16-colour palette, the 4-bit XOR picture and
# the 1-bit AND (transparency) mask, both stored bottom row first.


def dib_4bpp(pixels):
    size = len(pixels)
    xor_stride = ((size * 4 + 31) // 32) * 4
    and_stride = ((size + 31) // 32) * 4
    xor_rows, and_rows = [], []
    for row in reversed(pixels):
        nibbles = [0 if p is CLEAR else p for p in row]
        packed = bytes((nibbles[i] << 4) | nibbles[i + 1] for i in range(0, size, 2))
        xor_rows.append(packed.ljust(xor_stride, b"\0"))
        bits = 0
        for p in row:
            bits = (bits << 1) | (1 if p is CLEAR else 0)
        bits <<= and_stride * 8 - size
        and_rows.append(bits.to_bytes(and_stride, "big"))
    image = b"".join(xor_rows) + b"".join(and_rows)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 4, 0, len(image), 0, 0, 16, 0)
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)
    return header + palette + image


def icon_file(images, cursor_hot_spot=None):
    """images: pixel grids; cursor_hot_spot: (x, y) for a .cur, None for a .ico."""
    dibs = [dib_4bpp(p) for p in images]
    kind = 1 if cursor_hot_spot is None else 2
    out = struct.pack("<HHH", 0, kind, len(dibs))
    offset = 6 + 16 * len(dibs)
    for pixels, dib in zip(images, dibs):
        size = len(pixels)
        # Icons store planes and bit count here; cursors store the hot spot.
        field_a, field_b = (1, 4) if cursor_hot_spot is None else cursor_hot_spot
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 16, 0, field_a, field_b, len(dib),
                           offset)
        offset += len(dib)
    return out + b"".join(dibs)


# ---------------------------------------------------------------------------
# The maker's logo: a bold geometric "V" in blue stone with a pink outline on
# white. Shapes are measured by signed distance so the outline is anti-aliased.

LOGO_W, LOGO_H = 124, 76
STONE_SEED = 0x5EED1234
PINK = (236, 64, 150)
GROUND = (255, 255, 255)
OUTLINE_WIDTH = 3.0

# The V: two slanted strokes meeting at a point, with a notch between them.
V_OUTLINE = [(22, 8), (52, 8), (62, 36), (72, 8), (102, 8), (70, 69), (54, 69)]


def segment_distance(px, py, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    t = max(0.0, min(1.0, ((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy)))
    return math.hypot(px - (ax + t * dx), py - (ay + t * dy))


def signed_distance(points, px, py):
    """Distance to the polygon's edge, negative inside."""
    d = min(segment_distance(px, py, *a, *b) for a, b in zip(points, points[1:] + points[:1]))
    return -d if polygon(points)(px, py) else d


class Random:
    """xorshift32: a small fixed generator, so the stone is the same every run."""

    def __init__(self, seed):
        self.state = seed & 0xFFFFFFFF

    def next(self):
        x = self.state
        x ^= (x << 13) & 0xFFFFFFFF
        x ^= x >> 17
        x ^= (x << 5) & 0xFFFFFFFF
        self.state = x
        return x / 0x100000000


def stone_texture(width, height, rng):
    """Blotchy value noise (two octaves) plus single-pixel speckles, in 0..1."""

    def lattice(cell):
        cols, rows = width // cell + 2, height // cell + 2
        grid = [[rng.next() for _ in range(cols)] for _ in range(rows)]

        def sample(x, y):
            gx, gy = x / cell, y / cell
            ix, iy = int(gx), int(gy)
            fx, fy = gx - ix, gy - iy
            fx, fy = fx * fx * (3 - 2 * fx), fy * fy * (3 - 2 * fy)
            top = grid[iy][ix] * (1 - fx) + grid[iy][ix + 1] * fx
            bottom = grid[iy + 1][ix] * (1 - fx) + grid[iy + 1][ix + 1] * fx
            return top * (1 - fy) + bottom * fy

        return sample

    coarse, fine = lattice(9), lattice(3)
    texture = []
    for y in range(height):
        row = []
        for x in range(width):
            value = 0.6 * coarse(x, y) + 0.4 * fine(x, y)
            speck = rng.next()
            if speck < 0.06:
                value = 0.05  # dark fleck
            elif speck > 0.95:
                value = 1.0  # light fleck
            row.append(value)
        texture.append(row)
    return texture


def stone_colour(value):
    """Maps 0..1 to blues from deep navy to pale sky blue."""
    stops = [(0.0, (16, 28, 92)), (0.45, (34, 74, 170)), (0.75, (70, 130, 214)),
             (1.0, (168, 206, 246))]
    for (t0, c0), (t1, c1) in zip(stops, stops[1:]):
        if value <= t1:
            f = (value - t0) / (t1 - t0)
            return tuple(round(a + (b - a) * f) for a, b in zip(c0, c1))
    return stops[-1][1]


def mix(a, b, f):
    return tuple(round(x + (y - x) * f) for x, y in zip(a, b))


def logo():
    rng = Random(STONE_SEED)
    texture = stone_texture(LOGO_W, LOGO_H, rng)
    offsets = [(i + 0.5) / 4 for i in range(4)]
    rows = []
    for y in range(LOGO_H):
        row = []
        for x in range(LOGO_W):
            stone = stone_colour(texture[y][x])
            # Four by four samples per pixel: stone inside, pink band around
            # it, white beyond, averaged for smooth edges.
            total = [0, 0, 0]
            for oy in offsets:
                for ox in offsets:
                    d = signed_distance(V_OUTLINE, x + ox, y + oy)
                    if d < 0:
                        # A darker rim just inside the edge gives the stone depth.
                        colour = mix(stone, (10, 18, 60), 0.45) if d > -1.5 else stone
                    elif d < OUTLINE_WIDTH:
                        colour = PINK
                    else:
                        colour = GROUND
                    for k in range(3):
                        total[k] += colour[k]
            row.append(tuple(round(t / 16) for t in total))
        rows.append(row)
    return rows


def bmp_file(rows):
    height, width = len(rows), len(rows[0])
    stride = ((width * 3 + 3) // 4) * 4
    pixels = b"".join(
        b"".join(struct.pack("<BBB", b, g, r) for r, g, b in row).ljust(stride, b"\0")
        for row in reversed(rows))
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    header = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(pixels), 0, 0, 14 + len(info))
    return header + info + pixels


# ---------------------------------------------------------------------------
# The desktop's icon theme wants PNG files at fixed sizes. Each size is made
# from the largest drawing whose side divides it, so the hand-drawn 16-pixel
# toilet stays itself and the larger sizes are the 32-pixel one enlarged.

THEME_SIZES = (16, 32, 64, 128, 256)
DRAWN_SIZES = (32, 16)


def enlarged(pixels, factor):
    return [[p for p in row for _ in range(factor)] for row in pixels for _ in range(factor)]


def theme_icon(size):
    drawn = next(d for d in DRAWN_SIZES if size % d == 0)
    return enlarged(toilet(drawn), size // drawn)


def png_file(pixels):
    """8-bit RGBA, no filtering; clear pixels are fully transparent black."""

    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data +
                struct.pack(">I", zlib.crc32(kind + data)))

    size = len(pixels)
    raw = b"".join(
        b"\0" + b"".join(bytes((0, 0, 0, 0)) if p is CLEAR else bytes(PALETTE[p] + (255,))
                         for p in row)
        for row in pixels)
    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw, 9)) +
            chunk(b"IEND", b""))


def main():
    outputs = {
        "tapwire.ico": icon_file([toilet(32), toilet(16)]),
        "help.ico": icon_file([help_bubble(32), help_bubble(16)]),
        "logo.bmp": bmp_file(logo()),
        "hand.cur": icon_file([hand(32)], cursor_hot_spot=HAND_HOT_SPOT),
    }
    (HERE / "icons").mkdir(exist_ok=True)
    for size in THEME_SIZES:
        outputs[f"icons/tapwire-{size}.png"] = png_file(theme_icon(size))
    for name, data in outputs.items():
        (HERE / name).write_bytes(data)
        print(f"{name}: {len(data)} bytes")


if __name__ == "__main__":
    main()
