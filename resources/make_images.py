#!/usr/bin/env python3
"""Draws Reprisa's pictures: the application icon, the Velmora logo and the button glyphs.

Needs python3 and ImageMagick (`convert`). The outputs are committed, so the build itself
needs neither; run this again only to change a picture:

    python3 resources/make_images.py

Every shape is drawn at several times its final size and scaled down, which gives smooth
edges at 16 and 18 pixels. Glyph BMPs are written here byte by byte so that their format is
exactly the one Windows' LoadImage reads: BITMAPFILEHEADER + BITMAPINFOHEADER (40 bytes),
32 bits per pixel, BI_RGB, bottom-up rows, B G R A with straight (not premultiplied) alpha;
fully transparent pixels are stored as 0, 0, 0, 0.
"""

import math
import os
import shutil
import struct
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
CONVERT = shutil.which("convert", path="/usr/bin") or shutil.which("convert")

BLUE = "#1E6FD9"
BLUE_DARK = "#12498F"
GREEN = "#2E9E4F"
GREEN_DARK = "#1B6B33"
RED = "#D83232"
RED_DARK = "#8E1B1B"


def run(args):
    subprocess.run([CONVERT] + [str(a) for a in args], check=True)


def pt(x, y, scale):
    return f"{x * scale:.2f},{y * scale:.2f}"


def polar(cx, cy, r, degrees):
    a = math.radians(degrees)
    return cx + r * math.cos(a), cy + r * math.sin(a)


def arc_arrow(cx, cy, r, start, end, width, head_half, head_len, colour, scale):
    """Draw commands for a clockwise arc (screen angles, y down) ending in an arrowhead.

    Returns ImageMagick -draw arguments; all lengths are in units of the picture's size."""
    sx, sy = polar(cx, cy, r, start)
    ex, ey = polar(cx, cy, r, end)
    large = 1 if (end - start) % 360 > 180 else 0
    a = math.radians(end)
    tx, ty = -math.sin(a), math.cos(a)  # clockwise tangent
    nx, ny = math.cos(a), math.sin(a)  # outward normal
    tip = (ex + tx * head_len, ey + ty * head_len)
    b1 = (ex + nx * head_half, ey + ny * head_half)
    b2 = (ex - nx * head_half, ey - ny * head_half)
    return [
        "-fill", "none", "-stroke", colour, "-strokewidth", f"{width * scale:.2f}",
        "-draw",
        f"path 'M {pt(sx, sy, scale)} A {r * scale:.2f},{r * scale:.2f} 0 {large},1 "
        f"{pt(ex, ey, scale)}'",
        "-stroke", "none", "-fill", colour,
        "-draw", f"polygon {pt(*tip, scale)} {pt(*b1, scale)} {pt(*b2, scale)}",
    ]


def render(size, draw_args, out, supersample=8):
    big = size * supersample
    args = draw_args(float(big))
    # Round caps and joins for every stroke (each -draw is its own drawing context).
    args = [f"stroke-linecap round stroke-linejoin round {a}" if i and args[i - 1] == "-draw"
            else a for i, a in enumerate(args)]
    run(["-size", f"{big}x{big}", "xc:none"] + args +
        ["-filter", "Box", "-resize", f"{size}x{size}", "-depth", "8", out])


# --- the application icon: a blue circling arrow around a green play triangle ---------------

def icon_art(scale):
    args = ["-stroke", "none", "-fill", "#EEF5FF",
            "-draw", f"circle {pt(0.5, 0.5, scale)} {pt(0.5, 0.02, scale)}"]
    args += arc_arrow(0.5, 0.5, 0.33, -20, 250, 0.12, 0.125, 0.16, BLUE, scale)
    args += ["-stroke", GREEN_DARK, "-strokewidth", f"{0.025 * scale:.2f}", "-fill", GREEN,
             "-draw", f"polygon {pt(0.43, 0.35, scale)} {pt(0.43, 0.65, scale)} "
                      f"{pt(0.67, 0.5, scale)}"]
    return args


def make_icon(tmp):
    frames = []
    for size in (16, 24, 32, 48, 256):
        out = os.path.join(tmp, f"icon{size}.png")
        render(size, icon_art, out, 4 if size == 256 else 8)
        frames.append(out)
    run(frames + [os.path.join(HERE, "reprisa.ico")])


# --- the maker's logo: a two-coloured "V" over the "Velmora" wordmark ------------------------

def make_logo(tmp):
    w, h = 306, 322
    art = os.path.join(tmp, "logo.png")
    run([
        "-size", f"{w}x{h}", "gradient:#FFFFFF-#E3EEF9",
        # soft halo behind the mark
        "-stroke", "none", "-fill", "#D4E6F8", "-draw", "circle 153,128 153,22",
        "-fill", "#C3DDF5", "-draw", "circle 153,128 153,40",
        # left arm (blue) and right arm (green) of the V, meeting at the bottom point
        "-fill", BLUE, "-draw", "polygon 54,38 110,38 160,178 153,220",
        "-fill", BLUE_DARK, "-draw", "polygon 54,38 70,38 153,220 146,203",
        "-fill", GREEN, "-draw", "polygon 252,38 196,38 146,178 153,220",
        "-fill", GREEN_DARK, "-draw", "polygon 252,38 236,38 153,220 160,203",
        # a play triangle in the V's opening: what the maker's program does
        "-fill", "#FFFFFF", "-draw", "polygon 137,58 137,112 180,85",
        "-font", "DejaVu-Sans-Bold", "-pointsize", "50", "-fill", "#123A63",
        "-gravity", "north", "-annotate", "+0+226", "Velmora",
        "-font", "DejaVu-Sans", "-pointsize", "13", "-kerning", "5", "-fill", "#4F6A86",
        "-annotate", "+0+292", "SOFTWARE",
        art,
    ])
    run([art, "-strip", "-sampling-factor", "2x2", "-quality", "88", "-interlace", "Plane",
         "-colorspace", "sRGB", "-type", "TrueColor", f"JPEG:{os.path.join(HERE, 'logo.jpg')}"])


# --- button glyphs ------------------------------------------------------------------------

def ok_art(scale):
    points = [(0.17, 0.53), (0.41, 0.77), (0.85, 0.25)]
    path = " ".join(pt(x, y, scale) for x, y in points)
    return ["-fill", "none",
            "-stroke", GREEN_DARK, "-strokewidth", f"{0.24 * scale:.2f}",
            "-draw", f"polyline {path}",
            "-stroke", "#3FBF5F", "-strokewidth", f"{0.13 * scale:.2f}",
            "-draw", f"polyline {path}"]


def cancel_art(scale):
    lines = [f"line {pt(0.23, 0.23, scale)} {pt(0.77, 0.77, scale)}",
             f"line {pt(0.77, 0.23, scale)} {pt(0.23, 0.77, scale)}"]
    args = ["-fill", "none", "-stroke", RED_DARK, "-strokewidth", f"{0.24 * scale:.2f}"]
    for line in lines:
        args += ["-draw", line]
    args += ["-stroke", "#EE4B4B", "-strokewidth", f"{0.13 * scale:.2f}"]
    for line in lines:
        args += ["-draw", line]
    return args


def retry_art(scale):
    args = []
    for start, end in ((200, 335), (20, 155)):
        args += arc_arrow(0.5, 0.5, 0.31, start, end, 0.14, 0.17, 0.17, GREEN_DARK, scale)
    for start, end in ((200, 333), (20, 153)):
        args += arc_arrow(0.5, 0.5, 0.31, start, end, 0.07, 0.11, 0.12, "#3FBF5F", scale)
    return args


def globe_art(scale):
    c = pt(0.5, 0.5, scale)
    r = 0.45 * scale
    line = "#D6EBFF"
    sw = f"{0.06 * scale:.2f}"
    return [
        "-stroke", BLUE_DARK, "-strokewidth", sw, "-fill", "#2F86E0",
        "-draw", f"circle {c} {pt(0.5, 0.05, scale)}",
        "-fill", "none", "-stroke", line, "-strokewidth", sw,
        "-draw", f"ellipse {c} {0.19 * scale:.2f},{r:.2f} 0,360",
        "-draw", f"line {pt(0.5, 0.07, scale)} {pt(0.5, 0.93, scale)}",
        "-draw", f"line {pt(0.07, 0.5, scale)} {pt(0.93, 0.5, scale)}",
        "-draw", f"line {pt(0.16, 0.28, scale)} {pt(0.84, 0.28, scale)}",
        "-draw", f"line {pt(0.16, 0.72, scale)} {pt(0.84, 0.72, scale)}",
        # a touch of land
        "-stroke", "none", "-fill", "#49B25E",
        "-draw", f"polygon {pt(0.24, 0.34, scale)} {pt(0.44, 0.3, scale)} "
                 f"{pt(0.42, 0.46, scale)} {pt(0.3, 0.6, scale)} {pt(0.2, 0.48, scale)}",
        "-draw", f"polygon {pt(0.58, 0.58, scale)} {pt(0.78, 0.54, scale)} "
                 f"{pt(0.72, 0.78, scale)} {pt(0.6, 0.76, scale)}",
    ]


def read_rgba(png, size):
    raw = subprocess.run([CONVERT, png, "-depth", "8", "rgba:-"], check=True,
                         capture_output=True).stdout
    if len(raw) != size * size * 4:
        sys.exit(f"{png}: unexpected pixel data size {len(raw)}")
    return bytearray(raw)


def greyed(rgba):
    """The disabled twin: a light, flat grey of the same shape."""
    out = bytearray(rgba)
    for i in range(0, len(out), 4):
        r, g, b, a = out[i:i + 4]
        luma = 0.299 * r + 0.587 * g + 0.114 * b
        v = int(round(120 + luma * 0.42))
        out[i:i + 4] = bytes((v, v, v, a))
    return out


def write_bmp(path, rgba, size):
    rows = []
    for y in range(size - 1, -1, -1):  # bottom-up
        row = bytearray()
        for x in range(size):
            r, g, b, a = rgba[(y * size + x) * 4:(y * size + x) * 4 + 4]
            row += bytes((b, g, r, a)) if a else bytes(4)
        rows.append(bytes(row))
    pixels = b"".join(rows)
    info = struct.pack("<IiiHHIIiiII", 40, size, size, 1, 32, 0, len(pixels), 2835, 2835, 0, 0)
    header = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(pixels), 0, 0, 14 + len(info))
    with open(path, "wb") as f:
        f.write(header + info + pixels)


def make_glyph(tmp, name, size, art):
    png = os.path.join(tmp, f"{name}.png")
    render(size, art, png)
    rgba = read_rgba(png, size)
    write_bmp(os.path.join(HERE, f"glyph_{name}.bmp"), rgba, size)
    write_bmp(os.path.join(HERE, f"glyph_{name}_disabled.bmp"), greyed(rgba), size)


def main():
    if not CONVERT:
        sys.exit("ImageMagick's convert is needed")
    with tempfile.TemporaryDirectory() as tmp:
        make_icon(tmp)
        make_logo(tmp)
        make_glyph(tmp, "ok", 18, ok_art)
        make_glyph(tmp, "cancel", 18, cancel_art)
        make_glyph(tmp, "retry", 18, retry_art)
        make_glyph(tmp, "globe", 16, globe_art)


if __name__ == "__main__":
    main()
