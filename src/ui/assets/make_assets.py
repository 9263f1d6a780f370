#!/usr/bin/python3
"""Draws Quorvex's logo (logo.jpg) and window icon (icon.ico) into this folder.

The logo is a baseline JPEG of 179 x 179 pixels: a blue shield carrying a
white Q ring. The icon holds three hand-packed bitmaps of a generic window:
32 x 32 monochrome, 32 x 32 with 16 colours and 16 x 16 with 16 colours.

Run with /usr/bin/python3 (needs python3-pil); the output is deterministic.
"""
import struct
from pathlib import Path

from PIL import Image, ImageDraw

HERE = Path(__file__).resolve().parent

LOGO_SIZE = 179
OVERSAMPLE = 4  # draw large, then shrink, for smooth edges


def draw_logo() -> Image.Image:
    size = LOGO_SIZE * OVERSAMPLE
    s = OVERSAMPLE
    image = Image.new("RGB", (size, size), (255, 255, 255))
    draw = ImageDraw.Draw(image)

    # Shield: flat top with rounded shoulders, sides curving into a point.
    left, right, top, bottom = 22 * s, 157 * s, 14 * s, 168 * s
    mid = size // 2
    outline = [(left, top + 18 * s), (left + 18 * s, top), (right - 18 * s, top), (right, top + 18 * s)]
    # Sides: quadratic curves from the shoulders down to the point.
    steps = 40
    side = []
    for i in range(steps + 1):
        t = i / steps
        x = (1 - t) ** 2 * right + 2 * (1 - t) * t * right + t * t * mid
        y = (1 - t) ** 2 * (top + 18 * s) + 2 * (1 - t) * t * (bottom - 40 * s) + t * t * bottom
        side.append((x, y))
    outline += side + [(2 * mid - x, y) for x, y in reversed(side)]
    draw.polygon(outline, fill=(20, 70, 160))
    # A lighter inner band gives the shield a rim.
    inset = [(mid + (x - mid) * 0.86, top + 12 * s + (y - top) * 0.86) for x, y in outline]
    draw.polygon(inset, fill=(40, 110, 210))

    # The Q: a white ring with a tail crossing its lower right.
    cx, cy, r, w = mid, 80 * s, 38 * s, 13 * s
    draw.ellipse((cx - r, cy - r, cx + r, cy + r), fill=(255, 255, 255))
    draw.ellipse((cx - r + w, cy - r + w, cx + r - w, cy + r - w), fill=(40, 110, 210))
    draw.line((cx + 12 * s, cy + 12 * s, cx + 40 * s, cy + 44 * s), fill=(255, 255, 255), width=13 * s)

    return image.resize((LOGO_SIZE, LOGO_SIZE), Image.LANCZOS)


# The standard 16-colour palette, in the order icon bitmaps use it.
PALETTE16 = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, NAVY, SILVER, GREY, WHITE = 0, 4, 7, 8, 15
TRANSPARENT = None


def window_picture(size: int, colour: bool) -> list:
    """A window seen from the front: outline, title bar with a close box, client area.

    Returns rows of palette indices (or TRANSPARENT), top row first.
    """
    margin = 1 if size == 16 else 2
    title = 3 if size == 16 else 6
    pixels = [[TRANSPARENT] * size for _ in range(size)]
    x0, y0, x1, y1 = margin, margin + 1, size - margin - 1, size - margin - 2
    bar, frame, client, box = (NAVY, GREY, WHITE, SILVER) if colour else (BLACK, BLACK, WHITE, WHITE)
    for y in range(y0, y1 + 1):
        for x in range(x0, x1 + 1):
            edge = x in (x0, x1) or y in (y0, y1)
            pixels[y][x] = frame if edge else (bar if y <= y0 + title else client)
    if colour:
        # Shadow on the right and bottom.
        for y in range(y0 + 1, y1 + 2):
            pixels[y][x1 + 1] = BLACK
        for x in range(x0 + 1, x1 + 2):
            pixels[y1 + 1][x] = BLACK
    # Close box at the right end of the title bar.
    boxsize = title - 1
    for y in range(y0 + 1, y0 + 1 + boxsize):
        for x in range(x1 - boxsize, x1):
            pixels[y][x] = box
    # A few text lines in the client area.
    line = GREY if colour else BLACK
    step = 2 if size == 16 else 4
    for y in range(y0 + title + step, y1 - 1, step):
        for x in range(x0 + 2, x1 - 2 - (y % 3) * (size // 8)):
            pixels[y][x] = line
    return pixels


def pack_rows(rows: list, bits: int) -> bytes:
    """Packs rows bottom-up, each padded to 32 bits, as a DIB stores them."""
    out = bytearray()
    for row in reversed(rows):
        value, count, packed = 0, 0, bytearray()
        for index in row:
            value = (value << bits) | index
            count += bits
            if count == 8:
                packed.append(value)
                value, count = 0, 0
        packed += b"\0" * (-len(packed) % 4)
        out += packed
    return bytes(out)


def icon_bitmap(pixels: list, bits: int, palette: list) -> bytes:
    """BITMAPINFOHEADER, palette, colour bits and the AND mask of one icon image."""
    size = len(pixels)
    # Mono images index a two-entry palette: black 0, white 1.
    to_index = (lambda p: 1 if p == WHITE else 0) if bits == 1 else (lambda p: p)
    xor = pack_rows([[0 if p is TRANSPARENT else to_index(p) for p in row] for row in pixels], bits)
    mask = pack_rows([[1 if p is TRANSPARENT else 0 for p in row] for row in pixels], 1)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, bits, 0, len(xor) + len(mask), 0, 0,
                         len(palette), 0)
    colours = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in palette)
    return header + colours + xor + mask


def make_icon() -> bytes:
    images = [
        (32, 1, [(0, 0, 0), (255, 255, 255)]),
        (32, 4, PALETTE16),
        (16, 4, PALETTE16),
    ]
    blobs = [(size, bits, len(palette), icon_bitmap(window_picture(size, bits == 4), bits, palette))
             for size, bits, palette in images]
    directory = struct.pack("<HHH", 0, 1, len(blobs))
    offset = 6 + 16 * len(blobs)
    for size, bits, colours, blob in blobs:
        directory += struct.pack("<BBBBHHII", size, size, colours % 256, 0, 1, bits, len(blob), offset)
        offset += len(blob)
    return directory + b"".join(blob for *_, blob in blobs)


def main() -> None:
    draw_logo().save(HERE / "logo.jpg", "JPEG", quality=90, progressive=False, optimize=False)
    (HERE / "icon.ico").write_bytes(make_icon())


if __name__ == "__main__":
    main()
