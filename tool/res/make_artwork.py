#!/usr/bin/env python3
"""Draws the tray tool's own artwork and writes it beside this script (and
the icon and banner into dist/). Run again after changing a picture; the
outputs are kept in the repository so the build needs no drawing tools.

Every picture is drawn afresh at each display scale the tool shows
(picture_scales.h): 100 % under its plain name, the others with _125, _150,
_200. A picture at a scale has the 100 % picture's size at that scale's DPI,
rounded as the program rounds (fw::ScaleToDpi), and is drawn at that size,
never resampled, so its edges stay sharp."""
import math
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
DIST = os.path.join(HERE, "..", "..", "dist")

NAVY = (0, 64, 128)
BLUE = (30, 110, 190)
GOLD = (235, 180, 40)
WHITE = (255, 255, 255)
MAGENTA = (255, 0, 255)

SCALES = (100, 125, 150, 200)  # percent, as kPictureScales
ICON_SIZES = (32, 16, 20, 24, 40, 48, 64)  # 32 first: what a load at size 0 takes


def picture_dpi(scale):
    return scale * 96 // 100


def scaled(px96, dpi):
    """A 96-DPI length at `dpi`, rounded as fw::ScaleToDpi."""
    return (px96 * dpi + 48) // 96


def suffix(scale):
    return "" if scale == 100 else "_%d" % scale


def canvas(w, h, colour):
    return [[colour for _ in range(w)] for _ in range(h)]


def fill_rect(px, x0, y0, x1, y1, colour):
    x0, y0, x1, y1 = int(x0), int(y0), int(x1), int(y1)
    for y in range(max(0, y0), min(len(px), y1)):
        for x in range(max(0, x0), min(len(px[0]), x1)):
            px[y][x] = colour


def fill_circle(px, cx, cy, r, colour):
    for y in range(max(0, int(cy - r) - 1), min(len(px), int(cy + r) + 2)):
        for x in range(max(0, int(cx - r) - 1), min(len(px[0]), int(cx + r) + 2)):
            if (x + 0.5 - cx) ** 2 + (y + 0.5 - cy) ** 2 <= r * r:
                px[y][x] = colour


def draw_key(px, ox, oy, s, colour, hole):
    """A key: a ring at the left, a shaft with two teeth; s = size in px."""
    fill_circle(px, ox + s * 0.28, oy + s * 0.5, s * 0.26, colour)
    fill_circle(px, ox + s * 0.28, oy + s * 0.5, s * 0.10, hole)
    fill_rect(px, ox + int(s * 0.45), oy + int(s * 0.44), ox + int(s * 0.97), oy + int(s * 0.58), colour)
    fill_rect(px, ox + int(s * 0.72), oy + int(s * 0.58), ox + int(s * 0.80), oy + int(s * 0.74), colour)
    fill_rect(px, ox + int(s * 0.86), oy + int(s * 0.58), ox + int(s * 0.94), oy + int(s * 0.70), colour)


def bmp24(px):
    h, w = len(px), len(px[0])
    row = (w * 3 + 3) & ~3
    data = b"".join(
        bytes(c for p in px[y] for c in (p[2], p[1], p[0])) + b"\0" * (row - w * 3) for y in range(h - 1, -1, -1))
    header = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    return b"BM" + struct.pack("<IHHI", 14 + 40 + len(data), 0, 0, 54) + header + data


def bmp8(px):
    colours = sorted(set(p for r in px for p in r))
    assert len(colours) <= 256
    index = {c: i for i, c in enumerate(colours)}
    h, w = len(px), len(px[0])
    row = (w + 3) & ~3
    data = b"".join(bytes(index[p] for p in px[y]) + b"\0" * (row - w) for y in range(h - 1, -1, -1))
    palette = b"".join(bytes((c[2], c[1], c[0], 0)) for c in colours)
    header = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 8, 0, len(data), 2835, 2835, len(colours), 0)
    offset = 14 + 40 + len(palette)
    return b"BM" + struct.pack("<IHHI", offset + len(data), 0, 0, offset) + header + palette + data


def icon_image(px, transparent):
    """One 32-bit image of an icon or cursor file: colour plus AND mask."""
    h, w = len(px), len(px[0])
    colour = b"".join(
        bytes((p[2], p[1], p[0], 0 if p == transparent else 255)) for y in range(h - 1, -1, -1) for p in px[y])
    mask_row = ((w + 31) // 32) * 4
    mask = b""
    for y in range(h - 1, -1, -1):
        out = bytearray(mask_row)
        for x in range(w):
            if px[y][x] == transparent:
                out[x // 8] |= 0x80 >> (x % 8)
        mask += bytes(out)
    header = struct.pack("<IiiHHIIiiII", 40, w, h * 2, 1, 32, 0, len(colour) + len(mask), 0, 0, 0, 0)
    return header + colour + mask


def icon_file(images, kind=1, hotspots=None):
    out = struct.pack("<HHH", 0, kind, len(images))
    offset = 6 + 16 * len(images)
    blobs = []
    for i, (px, transparent) in enumerate(images):
        blob = icon_image(px, transparent)
        w, h = len(px[0]), len(px)
        a, b = hotspots[i] if hotspots else (1, 32)
        out += struct.pack("<BBBBHHII", w % 256, h % 256, 0, 0, a, b, len(blob), offset)
        offset += len(blob)
        blobs.append(blob)
    return out + b"".join(blobs)


def app_icon(size):
    px = canvas(size, size, MAGENTA)
    r = size * 0.18
    for y in range(size):
        for x in range(size):
            dx = max(r - x - 0.5, 0, x + 0.5 - (size - r))
            dy = max(r - y - 0.5, 0, y + 0.5 - (size - r))
            if dx * dx + dy * dy <= r * r:
                px[y][x] = BLUE
    draw_key(px, size * 0.08, size * 0.05, size * 0.84, GOLD, BLUE)
    return px


def hand_cursor():
    px = canvas(32, 32, MAGENTA)
    black, white = (0, 0, 0), WHITE
    # Pointing finger with its tip at (16, 9), palm below.
    fill_rect(px, 14, 9, 19, 20, black)
    fill_rect(px, 15, 10, 18, 20, white)
    fill_rect(px, 10, 17, 26, 30, black)
    fill_rect(px, 11, 18, 25, 29, white)
    for x in (19, 22):
        fill_rect(px, x, 17, x + 1, 23, black)
    fill_rect(px, 15, 17, 18, 18, white)
    return px


def tree_images(dpi):
    """Two square images side by side, each 16 px high at 96 DPI."""
    k = dpi / 96

    def p(v):  # a 96-DPI coordinate at this DPI
        return math.floor(v * k + 0.5)

    side = scaled(16, dpi)
    px = canvas(2 * side, side, MAGENTA)
    # 0: the key (a USB token with a ring), 1: a certificate with a seal.
    fill_rect(px, p(1), p(5), p(12), p(11), BLUE)
    fill_rect(px, p(12), p(6), p(15), p(10), (160, 160, 160))
    fill_circle(px, 4 * k, 8 * k, 1.6 * k, GOLD)
    fill_rect(px, side + p(1), p(2), side + p(15), p(13), (250, 250, 240))
    fill_rect(px, side + p(1), p(2), side + p(15), p(2) + p(1), NAVY)
    fill_rect(px, side + p(1), p(12), side + p(15), p(12) + p(1), NAVY)
    for y in (5, 7, 9):
        fill_rect(px, side + p(3), p(y), side + p(12), p(y) + p(1), (120, 120, 120))
    fill_circle(px, side + 12 * k, 11 * k, 2.5 * k, (200, 30, 30))
    return px


def popup_background(dpi):
    """280 x 133 at 96 DPI: a title band over a light gradient, framed. The
    popup places its caption in the band and its text below the band's
    edge, both scaled as this picture is."""
    k = dpi / 96

    def p(v):
        return math.floor(v * k + 0.5)

    w, h = scaled(280, dpi), scaled(133, dpi)
    px = canvas(w, h, WHITE)
    for y in range(h):
        t = y / (h - 1)
        shade = (int(200 + 50 * t), int(225 + 25 * t), 255)
        for x in range(w):
            px[y][x] = shade
    line = p(1)
    fill_rect(px, 0, 0, w, p(30), (70, 140, 210))
    fill_rect(px, 0, p(30), w, p(32), NAVY)
    draw_key(px, p(6), p(4), 22 * k, GOLD, (70, 140, 210))
    fill_rect(px, 0, h - line, w, h, NAVY)
    fill_rect(px, 0, 0, line, h, NAVY)
    fill_rect(px, w - line, 0, w, h, NAVY)
    return px


def banner(dpi):
    """The bank's banner, 425 x 114 at 96 DPI."""
    k = dpi / 96

    def p(v):
        return math.floor(v * k + 0.5)

    w, h = scaled(425, dpi), scaled(114, dpi)
    px = canvas(w, h, WHITE)
    for y in range(h):
        for x in range(w):
            t = x / (w - 1)
            px[y][x] = (int(0 + 40 * t), int(64 + 90 * t), int(128 + 100 * t))
    draw_key(px, p(20), p(17), 80 * k, GOLD, (10, 80, 150))
    # A bright band under the picture.
    fill_rect(px, 0, h - p(6), w, h - p(3), GOLD)
    return px


def write(path, data):
    with open(path, "wb") as f:
        f.write(data)


if __name__ == "__main__":
    icon = icon_file([(app_icon(size), MAGENTA) for size in ICON_SIZES])
    write(os.path.join(HERE, "Brevant.ico"), icon)
    write(os.path.join(DIST, "Brevant.ico"), icon)
    write(os.path.join(HERE, "hand.cur"), icon_file([(hand_cursor(), MAGENTA)], kind=2, hotspots=[(16, 9)]))
    for scale in SCALES:
        dpi = picture_dpi(scale)
        write(os.path.join(HERE, "tree%s.bmp" % suffix(scale)), bmp24(tree_images(dpi)))
        write(os.path.join(HERE, "popup%s.bmp" % suffix(scale)), bmp8(popup_background(dpi)))
        write(os.path.join(DIST, "QZR_logo%s.bmp" % suffix(scale)), bmp24(banner(dpi)))
