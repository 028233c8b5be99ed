#!/usr/bin/python3
"""Builds the three interface fonts that the programs carry in their bundles.

    /usr/bin/python3 tools/fonts/make_fonts.py --out resources/fonts \
        [--entypo react-native-vector-icons-entypo-13.1.4.tgz]
    /usr/bin/python3 tools/fonts/make_fonts.py --check [--entypo ...]

--check builds into a scratch directory and tells whether the committed
fonts are reproduced byte for byte (exit status 1 when one differs).

"TZ3TalvekLogo" and "TZ3OtherIcons" are drawn here. "Entypo+" is the
published Entypo+ pictogram set (CC BY-SA 4.0), moved from U+F100.. into the
private-use block at U+E000.. with the code points that the forms use. Its
source is the npm package @react-native-vector-icons/entypo 13.1.4, fetched
with

    npm pack @react-native-vector-icons/entypo@13.1.4

(tarball shasum 488b756cdb6f94c33ddbb3445b1dbb31b5928a0f); its
fonts/Entypo.ttf must have the SHA-256 below. Without --entypo only the two
fonts of our own are written.

Needs Debian's python3-fonttools (4.38). All timestamps are fixed, so the
output is the same byte for byte on every run.
"""

import argparse
import hashlib
import io
import json
import math
import os
import shutil
import sys
import tarfile
import tempfile

from fontTools.fontBuilder import FontBuilder
from fontTools.misc.timeTools import timestampFromString
from fontTools.pens.ttGlyphPen import TTGlyphPen
from fontTools.ttLib import TTFont

ENTYPO_TTF_SHA256 = "d711797dad529eed6b4df7fd73bae3ce93d02ec5e99314efa5d2b1048551f43d"
ENTYPO_TTF = "package/fonts/Entypo.ttf"
ENTYPO_MAP = "package/glyphmaps/Entypo.json"

# The pictograms that the windows show, at the code points their forms use.
ENTYPO_FIXED = {
    "controller-play": 0xE05E,
    "dots-three-vertical": 0xE07B,
    "folder-video": 0xE09B,
    "info-with-circle": 0xE0B1,
    "resize-100": 0xE100,
    "resize-full-screen": 0xE101,
    "stopwatch": 0xE11E,
    "swap": 0xE120,
}
ENTYPO_FIRST = 0xE000
ENTYPO_COUNT = 411

OWN_FONTS_DATE = timestampFromString("Mon Mar  4 00:00:00 2024")
OWN_COPYRIGHT = "Copyright (c) Talvek Inc."


# --- outlines ---------------------------------------------------------------
# A contour is a closed list of TrueType points (x, y, on_curve). Filled areas
# run clockwise and holes anticlockwise, so the nonzero rule unites
# overlapping fills and cuts holes where a hole lies inside exactly one fill.

def _area(points):
    return sum(x0 * y1 - x1 * y0 for (x0, y0, _), (x1, y1, _) in
               zip(points, points[1:] + points[:1])) / 2


def _oriented(points, clockwise):
    if (_area(points) < 0) != clockwise:
        points = points[::-1]
    while not points[0][2]:
        points = points[1:] + points[:1]
    return points


def fill(points):
    return _oriented(points, clockwise=True)


def hole(points):
    return _oriented(points, clockwise=False)


def polygon(*xy):
    return [(x, y, True) for x, y in xy]


def arc(cx, cy, r, a0, a1):
    """Points of a circular arc from angle a0 to a1 (degrees), as quadratic
    segments of at most 45 degrees; includes both end points."""
    n = max(1, math.ceil(abs(a1 - a0) / 45))
    step = math.radians(a1 - a0) / n
    start = math.radians(a0)
    off = r / math.cos(step / 2)
    points = [(cx + r * math.cos(start), cy + r * math.sin(start), True)]
    for i in range(n):
        mid = start + step * (i + 0.5)
        end = start + step * (i + 1)
        points.append((cx + off * math.cos(mid), cy + off * math.sin(mid), False))
        points.append((cx + r * math.cos(end), cy + r * math.sin(end), True))
    return points


def circle(cx, cy, r):
    return arc(cx, cy, r, 0, 360)[:-1]


def ring(cx, cy, outer, inner):
    return [fill(circle(cx, cy, outer)), hole(circle(cx, cy, inner))]


def ring_sector(cx, cy, outer, inner, a0, a1):
    return [fill(arc(cx, cy, outer, a0, a1) + arc(cx, cy, inner, a1, a0))]


def rect(x0, y0, x1, y1):
    return fill(polygon((x0, y0), (x0, y1), (x1, y1), (x1, y0)))


def stroke(p0, p1, width):
    """A straight stroke with flat ends."""
    (x0, y0), (x1, y1) = p0, p1
    length = math.hypot(x1 - x0, y1 - y0)
    nx, ny = -(y1 - y0) / length * width / 2, (x1 - x0) / length * width / 2
    return fill(polygon((x0 + nx, y0 + ny), (x1 + nx, y1 + ny),
                        (x1 - nx, y1 - ny), (x0 - nx, y0 - ny)))


def moved(contours, dx, dy, angle=0):
    """Rotates the contours about the origin by angle degrees, then shifts."""
    c, s = math.cos(math.radians(angle)), math.sin(math.radians(angle))
    return [[(x * c - y * s + dx, x * s + y * c + dy, on) for x, y, on in contour]
            for contour in contours]


def glyph(contours):
    pen = TTGlyphPen(None)
    for contour in contours:
        points = [(round(x), round(y), on) for x, y, on in contour]
        pen.moveTo(points[0][:2])
        pending = None
        for x, y, on in points[1:]:
            if not on:
                pending = (x, y)
            elif pending:
                pen.qCurveTo(pending, (x, y))
                pending = None
            else:
                pen.lineTo((x, y))
        if pending:
            pen.qCurveTo(pending, points[0][:2])
        pen.closePath()
    return pen.glyph()


# --- "TZ3OtherIcons": the product family's ring with a badge -------------------

MARK_X, MARK_Y = 500, 330          # centre of the ring
MARK_OUTER, MARK_INNER = 460, 380
BADGE_X, BADGE_Y = 800, 30         # the Bluetooth badge over the ring, lower right
BADGE_OUTER, BADGE_INNER = 190, 140
BADGE_CLEARANCE = 50


def logo_ring():
    return ring(MARK_X, MARK_Y, MARK_OUTER, MARK_INNER)


def logo_ring_with_gap():
    """The ring broken where the Bluetooth badge sits, so that the badge
    reads as a separate mark."""
    centre = math.degrees(math.atan2(BADGE_Y - MARK_Y, BADGE_X - MARK_X))
    reach = BADGE_OUTER + BADGE_CLEARANCE
    half_gap = 0
    while any(math.hypot(MARK_X + r * math.cos(math.radians(centre + half_gap)) - BADGE_X,
                         MARK_Y + r * math.sin(math.radians(centre + half_gap)) - BADGE_Y) < reach
              for r in range(MARK_INNER, MARK_OUTER + 1, 10)):
        half_gap += 1
    return ring_sector(MARK_X, MARK_Y, MARK_OUTER, MARK_INNER,
                       centre + half_gap, centre + 360 - half_gap)


def bluetooth_badge():
    t, b, ru, rl, lu, ll = (0, 110), (0, -110), (55, 55), (55, -55), (-55, 55), (-55, -55)
    width = 24
    rune = [stroke(t, b, width), stroke(t, ru, width), stroke(ru, ll, width),
            stroke(b, rl, width), stroke(rl, lu, width)]
    rune += [fill(circle(x, y, width / 2)) for x, y in (t, b, ru, rl)]
    return ring(BADGE_X, BADGE_Y, BADGE_OUTER, BADGE_INNER) + moved(rune, BADGE_X, BADGE_Y)


def play_triangle(dx=0, dy=0):
    return moved([fill(polygon((-90, 160), (190, 0), (-90, -160)))], MARK_X + dx, MARK_Y + dy)


def flag():
    pole = rect(-140, -210, -105, 220)
    cloth = fill(polygon((-110, 220), (0, 250), (90, 200), (190, 215),
                         (190, 30), (90, 15), (0, 65), (-110, 35)))
    return moved([pole, cloth], MARK_X, MARK_Y)


def pencil():
    body = rect(-55, -170, 55, 150)
    tip = fill(polygon((-55, -195), (55, -195), (0, -290)))
    cap = rect(-55, 175, 55, 250)
    return moved(moved([body, tip, cap], 0, 20), MARK_X, MARK_Y, angle=-45)


def sliders(dx=0, dy=0):
    parts = []
    for x, knob in ((-110, 70), (0, -80), (110, 20)):
        parts.append(rect(x - 13, -160, x + 13, 160))
        parts.append(rect(x - 45, knob - 24, x + 45, knob + 24))
    return moved(parts, MARK_X + dx, MARK_Y + dy)


def other_icons():
    # The Bluetooth marks keep their centre symbol a little away from the badge.
    away = (-30, 30)
    return {
        0xE000: logo_ring() + flag(),
        0xE001: logo_ring() + pencil(),
        0xE002: logo_ring() + play_triangle(),
        0xE003: logo_ring_with_gap() + bluetooth_badge() + sliders(*away),
        0xE004: logo_ring_with_gap() + bluetooth_badge() + play_triangle(*away),
    }


# --- "TZ3TalvekLogo": the emblem and the wordmark's capitals ------------------

STEM = 120
CAP = 700


def emblem():
    """The maker's emblem: a ring around a disc with a T cut out of it."""
    cx, cy = 380, 350
    t = hole(polygon((-170, 150), (170, 150), (170, 60), (45, 60), (45, -200),
                     (-45, -200), (-45, 60), (-170, 60)))
    return ring(cx, cy, 380, 330) + [fill(circle(cx, cy, 270))] + moved([t], cx, cy)


def wordmark():
    """Capitals of the wordmark, keyed by the letter as the maker line writes
    it; A and V are the same open chevron, upright and inverted."""
    return {
        "T": [fill(polygon((0, CAP), (560, CAP), (560, CAP - STEM), (340, CAP - STEM),
                           (340, 0), (220, 0), (220, CAP - STEM), (0, CAP - STEM)))],
        "a": [fill(polygon((0, 0), (250, CAP), (390, CAP), (640, 0), (505, 0),
                           (320, 520), (135, 0)))],
        "l": [fill(polygon((0, 0), (0, CAP), (STEM, CAP), (STEM, STEM), (480, STEM), (480, 0)))],
        "v": [fill(polygon((0, CAP), (135, CAP), (320, 180), (505, CAP), (640, CAP),
                           (390, 0), (250, 0)))],
        "e": [fill(polygon((0, 0), (0, CAP), (480, CAP), (480, CAP - STEM), (STEM, CAP - STEM),
                           (STEM, 410), (420, 410), (420, 290), (STEM, 290), (STEM, STEM),
                           (480, STEM), (480, 0)))],
        "k": [rect(0, 0, STEM, CAP),
              fill(polygon((60, 200), (560, CAP), (400, CAP), (60, 370))),
              fill(polygon((230, 420), (330, 520), (570, 0), (410, 0)))],
    }


# --- font assembly ----------------------------------------------------------

def notdef():
    return glyph([rect(50, 0, 450, 700), hole(polygon((100, 50), (100, 650), (400, 650), (400, 50)))])


def build(path, family, version, glyphs, cmap, advances, extra_names=None):
    """glyphs: name -> contours, in glyph order after .notdef."""
    order = [".notdef"] + list(glyphs)
    outlines = {".notdef": notdef()}
    outlines.update((name, glyph(contours)) for name, contours in glyphs.items())
    fb = FontBuilder(1000, isTTF=True)
    fb.setupHead(unitsPerEm=1000, created=OWN_FONTS_DATE, modified=OWN_FONTS_DATE,
                 fontRevision=1.0)
    fb.setupMaxp()
    fb.setupGlyphOrder(order)
    fb.setupCharacterMap(cmap)
    fb.setupGlyf(outlines)
    table = fb.font["glyf"]
    fb.setupHorizontalMetrics({name: (advances.get(name, 500), getattr(table[name], "xMin", 0))
                               for name in order})
    fb.setupHorizontalHeader(ascent=800, descent=-200)
    names = {"familyName": family, "styleName": "Regular", "fullName": family,
             "psName": family, "version": version, "copyright": OWN_COPYRIGHT,
             "uniqueFontIdentifier": f"{family} {version}"}
    names.update(extra_names or {})
    fb.setupNameTable(names, mac=False)
    fb.setupOS2(sTypoAscender=800, sTypoDescender=-200, sTypoLineGap=0,
                usWinAscent=800, usWinDescent=200, achVendID="TLVK", fsType=0)
    fb.setupPost()
    fb.save(path)


def logo_font(path):
    side = 50
    letters = wordmark()
    glyphs = {"copyright": emblem(), "space": []}
    cmap = {0xA9: "copyright", 0x20: "space"}
    advances = {"copyright": 760 + 2 * side, "space": 280}
    for letter, contours in letters.items():
        name = letter
        glyphs[name] = moved(contours, side, 0)
        cmap[ord(letter)] = name
        advances[name] = round(max(x for c in contours for x, _, _ in c)) + 2 * side
    build(path, "TZ3TalvekLogo", "Version 1.000", glyphs, cmap, advances)


def other_icons_font(path):
    icons = other_icons()
    glyphs = {f"uni{code:04X}": contours for code, contours in icons.items()}
    cmap = {code: f"uni{code:04X}" for code in icons}
    build(path, "TZ3OtherIcons", "Version 1.000", glyphs, cmap,
          {name: 1000 for name in glyphs})


# --- "Entypo+" --------------------------------------------------------------

def entypo_layout(names):
    """Code point of every pictogram: the fixed ones first, the rest in the
    published order filling the free places from U+E000 upwards."""
    assert len(names) == ENTYPO_COUNT and set(ENTYPO_FIXED) <= set(names)
    taken = set(ENTYPO_FIXED.values())
    free = (c for c in range(ENTYPO_FIRST, ENTYPO_FIRST + ENTYPO_COUNT) if c not in taken)
    layout = dict(ENTYPO_FIXED)
    for name in names:
        if name not in layout:
            layout[name] = next(free)
    return layout


def read_entypo_package(tarball):
    with tarfile.open(tarball) as archive:
        ttf = archive.extractfile(ENTYPO_TTF).read()
        glyph_map = json.load(archive.extractfile(ENTYPO_MAP))
    digest = hashlib.sha256(ttf).hexdigest()
    if digest != ENTYPO_TTF_SHA256:
        sys.exit(f"{tarball}: {ENTYPO_TTF} has SHA-256 {digest}, expected {ENTYPO_TTF_SHA256}")
    return TTFont(io.BytesIO(ttf)), glyph_map


def entypo_font(path, tarball):
    source, glyph_map = read_entypo_package(tarball)
    by_source_code = sorted(glyph_map, key=glyph_map.get)
    layout = entypo_layout(by_source_code)
    source_cmap = source.getBestCmap()
    keep = [".notdef", ".null", "nonmarkingreturn"]
    renamed = {name: name for name in keep}
    for name, code in sorted(layout.items(), key=lambda item: item[1]):
        renamed[f"uni{code:04X}"] = source_cmap[glyph_map[name]]
    order = list(renamed)

    src_glyf, src_hmtx, src_head = source["glyf"], source["hmtx"], source["head"]
    fb = FontBuilder(src_head.unitsPerEm, isTTF=True)
    fb.setupHead(unitsPerEm=src_head.unitsPerEm, created=src_head.created,
                 modified=src_head.modified, fontRevision=src_head.fontRevision,
                 flags=src_head.flags, lowestRecPPEM=src_head.lowestRecPPEM)
    fb.setupMaxp()
    for field in ("maxZones", "maxTwilightPoints", "maxStorage", "maxFunctionDefs",
                  "maxInstructionDefs", "maxStackElements", "maxSizeOfInstructions"):
        setattr(fb.font["maxp"], field, getattr(source["maxp"], field))
    fb.setupGlyphOrder(order)
    fb.setupCharacterMap({code: f"uni{code:04X}" for code in layout.values()})
    fb.setupGlyf({new: src_glyf[old] for new, old in renamed.items()})
    fb.setupHorizontalMetrics({new: src_hmtx[old] for new, old in renamed.items()})
    hhea = source["hhea"]
    fb.setupHorizontalHeader(ascent=hhea.ascent, descent=hhea.descent, lineGap=hhea.lineGap)
    fb.setupNameTable({
        "copyright": "Entypo+ pictograms by Daniel Bruce, www.entypo.com",
        "familyName": "Entypo+", "styleName": "Regular",
        "uniqueFontIdentifier": "Entypo+ Regular Version 001.000",
        "fullName": "Entypo+", "version": "Version 001.000", "psName": "EntypoPlus",
        "licenseDescription": "Creative Commons Attribution-ShareAlike 4.0 International",
        "licenseInfoURL": "https://creativecommons.org/licenses/by-sa/4.0/",
    }, mac=False)
    os2 = source["OS/2"]
    fb.setupOS2(**{field: getattr(os2, field) for field in (
        "version", "usWeightClass", "usWidthClass", "fsType", "sTypoAscender", "sTypoDescender",
        "sTypoLineGap", "usWinAscent", "usWinDescent", "panose", "achVendID",
        "fsSelection")})
    post = source["post"]
    fb.setupPost(underlinePosition=post.underlinePosition,
                 underlineThickness=post.underlineThickness)
    for tag in ("cvt ", "gasp"):
        fb.font[tag] = source[tag]
    fb.save(path)


def check(out, names):
    committed = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "resources", "fonts")
    differ = 0
    for name in names:
        with open(os.path.join(out, name), "rb") as built, open(os.path.join(committed, name), "rb") as kept:
            same = built.read() == kept.read()
        print(("reproduced: " if same else "differs: ") + name)
        differ += not same
    return 1 if differ else 0


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--out", help="directory for the .ttf files")
    parser.add_argument("--check", action="store_true",
                        help="compare what is built with resources/fonts instead of keeping it")
    parser.add_argument("--entypo", help="the npm tarball of @react-native-vector-icons/entypo")
    args = parser.parse_args()
    if bool(args.out) == args.check:
        parser.error("give either --out or --check")
    out = tempfile.mkdtemp() if args.check else args.out
    os.makedirs(out, exist_ok=True)
    names = ["talvek_logo.ttf", "tz3_other_icons.ttf"]
    logo_font(os.path.join(out, names[0]))
    other_icons_font(os.path.join(out, names[1]))
    if args.entypo:
        names.append("Entypo+.ttf")
        entypo_font(os.path.join(out, names[2]), args.entypo)
    if args.check:
        status = check(out, names)
        shutil.rmtree(out)
        sys.exit(status)


if __name__ == "__main__":
    main()
