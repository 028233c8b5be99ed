#!/usr/bin/python3
"""Draws the three application icons and writes, per program, into --out:

    <program>.svg            the drawing (installed as the scalable icon)
    <program>-<N>.png        32-bit renderings, N = 16, 32, 48, 256
    <program>.ico            the Windows icon group: 256 px as PNG and
                             16, 32, 48 px as bitmaps, each at 4, 8 and 32
                             bits per pixel (12 images)

    /usr/bin/python3 tools/icons/make_icons.py --out resources/icons

Needs Debian's librsvg2-bin (rsvg-convert) and python3-pil.
"""

import argparse
import io
import os
import struct
import subprocess

from PIL import Image

SIZES = (16, 32, 48, 256)
DEPTHS = (32, 8, 4)

NAVY = "#16213a"
WHITE = "#ffffff"
BLUETOOTH = "#2b6fde"

# Each program: the product family's ring in its own colour around the
# program's symbol; the Bluetooth programs add the Bluetooth badge.
PLAY = f'<polygon points="106,92 106,164 166,128" fill="{WHITE}"/>'
SLIDERS = (f'<g stroke="{WHITE}" stroke-width="8" stroke-linecap="round">'
           '<line x1="96" y1="84" x2="96" y2="172"/>'
           '<line x1="128" y1="84" x2="128" y2="172"/>'
           '<line x1="160" y1="84" x2="160" y2="172"/></g>'
           f'<g fill="{WHITE}">'
           '<rect x="83" y="143" width="26" height="14" rx="4"/>'
           '<rect x="115" y="97" width="26" height="14" rx="4"/>'
           '<rect x="147" y="127" width="26" height="14" rx="4"/></g>')
BADGE = (f'<circle cx="200" cy="200" r="46" fill="{BLUETOOTH}" stroke="{NAVY}" stroke-width="10"/>'
         f'<polyline points="185,185 215,215 200,230 200,170 215,185 185,215" fill="none" '
         f'stroke="{WHITE}" stroke-width="7" stroke-linejoin="round" stroke-linecap="round"/>')

PROGRAMS = {
    "pulsetra": ("#ff9f1c", PLAY, False),
    "pulsetra_ble": ("#ff9f1c", PLAY, True),
    "skeel": ("#2ec4b6", SLIDERS, True),
}


def svg(ring_colour, symbol, bluetooth):
    # The symbol moves away from the badge so the two never touch.
    shift = ' transform="translate(-8,-8)"' if bluetooth else ""
    return ('<svg xmlns="http://www.w3.org/2000/svg" width="256" height="256" viewBox="0 0 256 256">'
            f'<circle cx="128" cy="128" r="124" fill="{NAVY}"/>'
            f'<circle cx="128" cy="128" r="92" fill="none" stroke="{ring_colour}" stroke-width="24"/>'
            f'<g{shift}>{symbol}</g>'
            + (BADGE if bluetooth else "") + '</svg>\n')


def render(svg_path, size):
    png = subprocess.run(["rsvg-convert", "-w", str(size), "-h", str(size), svg_path],
                         check=True, capture_output=True).stdout
    return Image.open(io.BytesIO(png)).convert("RGBA")


def png_bytes(image, depth):
    out = io.BytesIO()
    if depth == 32:
        image.save(out, "PNG", optimize=True)
    else:
        paletted = image.quantize(colors=1 << depth, method=Image.Quantize.FASTOCTREE,
                                  dither=Image.Dither.NONE)
        paletted.save(out, "PNG", bits=depth, optimize=True)
    return out.getvalue()


def _rows(values_per_row, bits, height):
    """Packs rows of small integers into bottom-up, 4-byte aligned rows."""
    data = bytearray()
    for row in reversed(values_per_row):
        packed = bytearray()
        acc, count = 0, 0
        for value in row:
            acc = (acc << bits) | value
            count += bits
            if count == 8:
                packed.append(acc)
                acc, count = 0, 0
        if count:
            packed.append(acc << (8 - count))
        packed.extend(b"\0" * (-len(packed) % 4))
        data += packed
    assert len(values_per_row) == height
    return bytes(data)


def bmp_bytes(image, depth):
    """A device-independent bitmap as icons store it: the colour image and
    then the 1-bit transparency mask, both bottom-up, height doubled."""
    w, h = image.size
    pixels = list(image.getdata())
    opaque = [a >= 128 for _, _, _, a in pixels]
    mask = [[0 if opaque[y * w + x] else 1 for x in range(w)] for y in range(h)]
    if depth == 32:
        palette = b""
        colour = bytearray()
        for y in reversed(range(h)):
            for r, g, b, a in pixels[y * w:(y + 1) * w]:
                colour += bytes((b, g, r, a))
    else:
        # Opaque pixels share all palette entries but the last, which is black
        # for the transparent ones (the screen shows through them unchanged).
        colours = 1 << depth
        over_black = Image.new("RGB", (w, h))
        over_black.paste(image, mask=image.getchannel("A"))
        quantized = over_black.quantize(colors=colours - 1, method=Image.Quantize.MEDIANCUT,
                                        dither=Image.Dither.NONE)
        rgb = quantized.getpalette()[:3 * (colours - 1)]
        rgb += [0] * (3 * colours - len(rgb))
        palette = b"".join(bytes((rgb[i + 2], rgb[i + 1], rgb[i], 0))
                           for i in range(0, len(rgb), 3))
        indices = list(quantized.getdata())
        rows = [[indices[y * w + x] if opaque[y * w + x] else colours - 1 for x in range(w)]
                for y in range(h)]
        colour = _rows(rows, depth, h)
    and_mask = _rows(mask, 1, h)
    header = struct.pack("<IiiHHIIiiII", 40, w, 2 * h, 1, depth, 0,
                         len(colour) + len(and_mask), 0, 0, 0, 0)
    return header + palette + bytes(colour) + and_mask


def ico_bytes(renderings):
    images = []
    for size in sorted(renderings, reverse=True):
        for depth in DEPTHS:
            image = renderings[size]
            data = png_bytes(image, depth) if size == 256 else bmp_bytes(image, depth)
            images.append((size, depth, data))
    offset = 6 + 16 * len(images)
    directory = struct.pack("<HHH", 0, 1, len(images))
    for size, depth, data in images:
        directory += struct.pack("<BBBBHHII", size % 256, size % 256, 16 if depth == 4 else 0,
                                 0, 1, depth, len(data), offset)
        offset += len(data)
    return directory + b"".join(data for _, _, data in images)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--out", required=True)
    args = parser.parse_args()
    os.makedirs(args.out, exist_ok=True)
    for program, (ring_colour, symbol, bluetooth) in PROGRAMS.items():
        svg_path = os.path.join(args.out, f"{program}.svg")
        with open(svg_path, "w") as f:
            f.write(svg(ring_colour, symbol, bluetooth))
        renderings = {size: render(svg_path, size) for size in SIZES}
        for size, image in renderings.items():
            with open(os.path.join(args.out, f"{program}-{size}.png"), "wb") as f:
                f.write(png_bytes(image, 32))
        with open(os.path.join(args.out, f"{program}.ico"), "wb") as f:
            f.write(ico_bytes(renderings))


if __name__ == "__main__":
    main()
