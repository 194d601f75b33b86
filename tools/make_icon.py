#!/usr/bin/env python3
"""Draws the Pelorin application icon and writes it as a Windows .ico file.

    python3 tools/make_icon.py OUT.ico

The picture is a cardboard box with a green arrow pointing down into it. It is
drawn analytically (signed distance functions, antialiased) at every size, so
no binary picture is kept in the repository. The file holds 37 images, in this
order:

    32 and 16 pixels square at 4 bits per pixel (palette of 16 colours);
    4, 6, 8, 10, 12, 14, 16, 20, 24, 28, 32, 40, 48, 56, 64 pixels square at
      8 bits per pixel (palette of 256 colours);
    the same 15 sizes at 32 bits per pixel (BGRA with alpha);
    80, 96, 112, 128, 256 pixels square at 32 bits per pixel, stored as PNG.

Images up to 64 pixels are DIBs as icon files hold them: a BITMAPINFOHEADER
whose height is twice the image height, the palette (4 and 8 bits per pixel),
the colour bitmap and the 1-bit AND mask, bottom-up, every row padded to a
multiple of 4 bytes. The output depends only on this script (and on zlib for
the PNG images). Standard library only; prints nothing on success.
"""

import math
import struct
import sys
import zlib

FOUR_BPP_SIZES = (32, 16)
SMALL_SIZES = (4, 6, 8, 10, 12, 14, 16, 20, 24, 28, 32, 40, 48, 56, 64)
PNG_SIZES = (80, 96, 112, 128, 256)

# Colours of the picture (red, green, blue).
BOX_EDGE = (92, 58, 24)
BOX_FACE = (214, 160, 92)
LID_FACE = (232, 186, 118)
TAPE = (240, 214, 160)
ARROW_EDGE = (22, 92, 30)
ARROW_FACE = (52, 168, 64)
ARROW_LIGHT = (120, 208, 120)


# ---------------------------------------------------------------- geometry

def sd_round_rect(x, y, x0, y0, x1, y1, r):
    """Signed distance from (x, y) to a rectangle with rounded corners."""
    cx = (x0 + x1) * 0.5
    cy = (y0 + y1) * 0.5
    qx = abs(x - cx) - ((x1 - x0) * 0.5 - r)
    qy = abs(y - cy) - ((y1 - y0) * 0.5 - r)
    ox = qx if qx > 0.0 else 0.0
    oy = qy if qy > 0.0 else 0.0
    inside = qx if qx > qy else qy
    if inside > 0.0:
        inside = 0.0
    return math.hypot(ox, oy) + inside - r


def make_convex(points):
    """Edges of a convex polygon (clockwise in y-down coordinates) as
    normalised line equations a*x + b*y + c, positive outside."""
    edges = []
    n = len(points)
    for i in range(n):
        (xa, ya), (xb, yb) = points[i], points[(i + 1) % n]
        nx, ny = yb - ya, -(xb - xa)
        length = math.hypot(nx, ny)
        nx /= length
        ny /= length
        edges.append((nx, ny, -(nx * xa + ny * ya)))
    return edges


def sd_convex(x, y, edges):
    """Signed distance (exact inside, a close bound outside) to a convex polygon."""
    return max(a * x + b * y + c for a, b, c in edges)


# ---------------------------------------------------------------- drawing

class Layer:
    """One shape of the picture: a signed distance function in unit
    coordinates, its bounding box, an outline colour (or None) and a fill
    colour."""

    def __init__(self, sdf, bbox, edge, fill):
        self.sdf = sdf
        self.bbox = bbox
        self.edge = edge
        self.fill = fill


def picture():
    arrow_head = make_convex([(0.20, 0.30), (0.80, 0.30), (0.50, 0.64)])
    arrow_light = make_convex([(0.30, 0.345), (0.46, 0.345), (0.46, 0.53)])
    return [
        # Body of the box, its lid, and the tape down the front.
        Layer(lambda x, y: sd_round_rect(x, y, 0.10, 0.44, 0.90, 0.95, 0.05),
              (0.10, 0.44, 0.90, 0.95), BOX_EDGE, BOX_FACE),
        Layer(lambda x, y: sd_round_rect(x, y, 0.05, 0.35, 0.95, 0.52, 0.035),
              (0.05, 0.35, 0.95, 0.52), BOX_EDGE, LID_FACE),
        Layer(lambda x, y: sd_round_rect(x, y, 0.44, 0.52, 0.56, 0.95, 0.0),
              (0.44, 0.52, 0.56, 0.95), None, TAPE),
        # The arrow: shaft and head, with a highlight on the head.
        Layer(lambda x, y: min(sd_round_rect(x, y, 0.39, 0.03, 0.61, 0.36, 0.03),
                               sd_convex(x, y, arrow_head)),
              (0.20, 0.03, 0.80, 0.64), ARROW_EDGE, ARROW_FACE),
        Layer(lambda x, y: sd_convex(x, y, arrow_light),
              (0.30, 0.345, 0.46, 0.53), None, ARROW_LIGHT),
    ]


def render(size):
    """Renders the picture at `size` pixels square. Returns a list of rows of
    (red, green, blue, alpha) tuples, floats, colour not premultiplied."""
    layers = picture()
    # Outline width in pixels: none for the tiniest images, growing slowly.
    edge_px = 0.0 if size < 12 else max(1.0, size / 28.0)
    # Premultiplied accumulation buffer.
    acc = [[[0.0, 0.0, 0.0, 0.0] for _ in range(size)] for _ in range(size)]
    for layer in layers:
        x0, y0, x1, y1 = layer.bbox
        fill = layer.fill
        pad = 2.0 / size
        px0 = max(0, int(math.floor((x0 - pad) * size)))
        px1 = min(size, int(math.ceil((x1 + pad) * size)))
        py0 = max(0, int(math.floor((y0 - pad) * size)))
        py1 = min(size, int(math.ceil((y1 + pad) * size)))
        for py in range(py0, py1):
            v = (py + 0.5) / size
            row = acc[py]
            for px in range(px0, px1):
                u = (px + 0.5) / size
                d = layer.sdf(u, v) * size  # distance in pixels
                outer = 0.5 - d
                if outer <= 0.0:
                    continue
                if outer > 1.0:
                    outer = 1.0
                if layer.edge is not None and edge_px > 0.0:
                    inner = 0.5 - (d + edge_px)
                    inner = 0.0 if inner < 0.0 else (1.0 if inner > 1.0 else inner)
                    cover_edge = outer - inner
                    colour = [
                        (e * cover_edge + f * inner) / outer
                        for e, f in zip(layer.edge, fill)
                    ]
                else:
                    colour = fill
                a = outer
                cell = row[px]
                keep = 1.0 - a
                cell[0] = colour[0] * a + cell[0] * keep
                cell[1] = colour[1] * a + cell[1] * keep
                cell[2] = colour[2] * a + cell[2] * keep
                cell[3] = a + cell[3] * keep
    out = []
    for row in acc:
        line = []
        for r, g, b, a in row:
            if a <= 0.0:
                line.append((0.0, 0.0, 0.0, 0.0))
            else:
                line.append((r / a, g / a, b / a, a))
        out.append(line)
    return out


def to_rgba8(image):
    """Float image -> rows of (r, g, b, a) bytes; transparent pixels are black."""
    rows = []
    for line in image:
        row = []
        for r, g, b, a in line:
            a8 = int(round(a * 255.0))
            if a8 == 0:
                row.append((0, 0, 0, 0))
            else:
                row.append((int(round(r)), int(round(g)), int(round(b)), a8))
        rows.append(row)
    return rows


# ---------------------------------------------------------------- palettes

def median_cut(colours, count):
    """Deterministic median cut: `colours` maps (r, g, b) to a pixel count;
    returns at most `count` colours."""
    boxes = [sorted(colours.items())]
    while len(boxes) < count:
        best = None
        for i, box in enumerate(boxes):
            if len(box) < 2:
                continue
            spans = [max(c[0][k] for c in box) - min(c[0][k] for c in box) for k in range(3)]
            span = max(spans)
            weight = sum(n for _, n in box)
            key = (span * weight, -i)
            if span > 0 and (best is None or key > best[0]):
                best = (key, i, spans.index(span))
        if best is None:
            break
        _, i, channel = best
        box = sorted(boxes[i], key=lambda c: (c[0][channel], c[0]))
        total = sum(n for _, n in box)
        half, run, cut = total / 2.0, 0, 1
        for j, (_, n) in enumerate(box[:-1]):
            run += n
            cut = j + 1
            if run >= half:
                break
        boxes[i:i + 1] = [box[:cut], box[cut:]]
    palette = []
    for box in boxes:
        total = sum(n for _, n in box)
        palette.append(tuple(int(round(sum(c[k] * n for c, n in box) / total)) for k in range(3)))
    return palette


def build_palette(images, count):
    """Palette of exactly `count` entries: black first (the colour under the
    transparent pixels), then the picture's colours."""
    histogram = {}
    for image in images:
        for row in image:
            for r, g, b, a in row:
                if a >= 128:
                    histogram[(r, g, b)] = histogram.get((r, g, b), 0) + 1
    colours = median_cut(histogram, count - 1)
    palette = [(0, 0, 0)] + sorted(set(colours))
    while len(palette) < count:
        palette.append((0, 0, 0))
    return palette


def nearest(palette, colour, cache):
    found = cache.get(colour)
    if found is None:
        r, g, b = colour
        best = None
        for i, (pr, pg, pb) in enumerate(palette):
            if i == 0:
                continue  # index 0 is kept for transparent pixels
            d = 2 * (pr - r) ** 2 + 4 * (pg - g) ** 2 + 3 * (pb - b) ** 2
            if best is None or d < best[0]:
                best = (d, i)
        found = best[1]
        cache[colour] = found
    return found


# ---------------------------------------------------------------- writers

def pad4(data):
    return data + b"\0" * (-len(data) % 4)


def and_mask(image):
    """1 bit per pixel, bottom-up, 1 where the pixel is transparent."""
    size = len(image)
    out = bytearray()
    for row in reversed(image):
        bits = bytearray((size + 7) // 8)
        for x, (_, _, _, a) in enumerate(row):
            if a < 128:
                bits[x >> 3] |= 0x80 >> (x & 7)
        out += pad4(bytes(bits))
    return bytes(out)


def dib(size, bpp, palette, pixels, mask):
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, bpp, 0,
                         len(pixels) + len(mask), 0, 0, 0, 0)
    colours = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in palette)
    return header + colours + pixels + mask


def dib_indexed(image, bpp, palette):
    size = len(image)
    cache = {}
    out = bytearray()
    for row in reversed(image):
        indices = [0 if a < 128 else nearest(palette, (r, g, b), cache) for r, g, b, a in row]
        if bpp == 8:
            line = bytes(indices)
        else:
            line = bytes((indices[i] << 4) | (indices[i + 1] if i + 1 < size else 0)
                         for i in range(0, size, 2))
        out += pad4(line)
    return dib(size, bpp, palette, bytes(out), and_mask(image))


def dib_bgra(image):
    size = len(image)
    out = bytearray()
    for row in reversed(image):
        for r, g, b, a in row:
            out += bytes((b, g, r, a))
    return dib(size, 32, [], bytes(out), and_mask(image))


def png_chunk(kind, data):
    return (struct.pack(">I", len(data)) + kind + data
            + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))


def png_filter(raw_rows, kind):
    out = bytearray()
    prev = bytes(len(raw_rows[0]))
    for row in raw_rows:
        if kind == 0:
            line = row
        elif kind == 1:
            line = bytes((row[i] - (row[i - 4] if i >= 4 else 0)) & 0xFF for i in range(len(row)))
        elif kind == 2:
            line = bytes((row[i] - prev[i]) & 0xFF for i in range(len(row)))
        elif kind == 3:
            line = bytes((row[i] - (((row[i - 4] if i >= 4 else 0) + prev[i]) >> 1)) & 0xFF
                         for i in range(len(row)))
        else:
            line = bytearray(len(row))
            for i in range(len(row)):
                a = row[i - 4] if i >= 4 else 0
                b = prev[i]
                c = prev[i - 4] if i >= 4 else 0
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                pred = a if pa <= pb and pa <= pc else (b if pb <= pc else c)
                line[i] = (row[i] - pred) & 0xFF
            line = bytes(line)
        out.append(kind)
        out += line
        prev = row
    return bytes(out)


def png(image):
    size = len(image)
    raw_rows = [bytes(v for pixel in row for v in pixel) for row in image]
    # The smallest of the five uniform filterings.
    data = min((zlib.compress(png_filter(raw_rows, k), 9) for k in range(5)), key=len)
    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + png_chunk(b"IHDR", header)
            + png_chunk(b"IDAT", data) + png_chunk(b"IEND", b""))


def build_icon():
    rendered = {}
    for size in sorted(set(FOUR_BPP_SIZES + SMALL_SIZES + PNG_SIZES)):
        rendered[size] = to_rgba8(render(size))

    palette16 = build_palette([rendered[s] for s in FOUR_BPP_SIZES], 16)
    palette256 = build_palette([rendered[s] for s in SMALL_SIZES], 256)

    # (width, colour count in the directory, bits per pixel, image data)
    entries = []
    for size in FOUR_BPP_SIZES:
        entries.append((size, 16, 4, dib_indexed(rendered[size], 4, palette16)))
    for size in SMALL_SIZES:
        entries.append((size, 0, 8, dib_indexed(rendered[size], 8, palette256)))
    for size in SMALL_SIZES:
        entries.append((size, 0, 32, dib_bgra(rendered[size])))
    for size in PNG_SIZES:
        entries.append((size, 0, 32, png(rendered[size])))

    out = bytearray(struct.pack("<HHH", 0, 1, len(entries)))
    offset = 6 + 16 * len(entries)
    for size, colours, bpp, data in entries:
        dim = 0 if size >= 256 else size
        out += struct.pack("<BBBBHHII", dim, dim, colours, 0, 1, bpp, len(data), offset)
        offset += len(data)
    for _, _, _, data in entries:
        out += data
    return bytes(out)


def main(argv):
    if len(argv) != 2:
        sys.stderr.write("usage: make_icon.py OUT.ico\n")
        return 2
    data = build_icon()
    with open(argv[1], "wb") as f:
        f.write(data)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
