#!/usr/bin/python3
"""Makes the emulated device's bold Tahoma from Wine's.

    make-bold-tahoma.py WINE_TAHOMABD.ttf OUT.ttf

Wine's tahomabd.ttf has bold bitmaps for 9 to 12 pixels per em, but its
outlines are the regular weight's (only the advance widths are bold ones),
and its 13, 15 and 16 ppem bitmaps are no bolder than the regular's. So
above 12 pixels a bold Tahoma line draws as regular type with bold spacing
(a 128 or 192 dpi device's 8-point day/date line, for instance). This keeps
the 9..12 ppem bitmaps and the metrics, drops the other bitmaps, and
thickens every outline the way a rasteriser's synthetic bold does: each
point moves out along the bisector of its two edges, more across than up,
and the glyph is centred in its (bold) advance again.

The output depends only on the input: the script is run for every device.
"""
import math
import sys

from fontTools.ttLib import TTFont

# Extra ink per side, in font units (2048 per em): across stems and along
# them. About the difference between Tahoma's regular and bold stems.
GROW_X = 72
GROW_Y = 36
# Bitmap strikes that are really bold.
LARGEST_BOLD_STRIKE = 12


def unit(dx, dy):
    length = math.hypot(dx, dy)
    return (dx / length, dy / length) if length else (0.0, 0.0)


def grown_contour(points):
    """Moves each point of a closed contour outwards. TrueType fills the
    right-hand side of each contour's direction, so "out" is the left
    normal for outer contours and holes alike."""
    n = len(points)
    moved = []
    for i in range(n):
        px, py = points[i]
        ix, iy = unit(px - points[i - 1][0], py - points[i - 1][1])
        ox, oy = unit(points[(i + 1) % n][0] - px, points[(i + 1) % n][1] - py)
        # Left normals of the incoming and outgoing edges.
        nx, ny = -iy - oy, ix + ox
        d = 1 + ix * ox + iy * oy
        if d < 0.25:   # a spike that turns back: do not shoot it out
            d = 0.25
        moved.append((round(px + nx / d * GROW_X), round(py + ny / d * GROW_Y)))
    return moved


def grow_glyph(glyph, glyf):
    if glyph.isComposite() or glyph.numberOfContours <= 0:
        return
    coordinates = glyph.coordinates
    start = 0
    for end in glyph.endPtsOfContours:
        contour = [tuple(coordinates[k]) for k in range(start, end + 1)]
        for k, point in enumerate(grown_contour(contour)):
            coordinates[start + k] = point
        start = end + 1
    glyph.recalcBounds(glyf)


def centre_in_advance(glyph, glyf, hmtx, name):
    if glyph.numberOfContours == 0:
        return
    glyph.recalcBounds(glyf)
    advance, _ = hmtx[name]
    shift = round((advance - (glyph.xMax - glyph.xMin)) / 2) - glyph.xMin
    if glyph.isComposite():
        for component in glyph.components:
            component.x += shift
    else:
        glyph.coordinates.translate((shift, 0))
    glyph.recalcBounds(glyf)
    hmtx[name] = (advance, glyph.xMin)


def keep_bold_strikes(font):
    eblc, ebdt = font["EBLC"], font["EBDT"]
    keep = [i for i, strike in enumerate(eblc.strikes)
            if strike.bitmapSizeTable.ppemY <= LARGEST_BOLD_STRIKE]
    eblc.strikes = [eblc.strikes[i] for i in keep]
    ebdt.strikeData = [ebdt.strikeData[i] for i in keep]
    if "EBSC" in font:
        del font["EBSC"]


def main(argv):
    if len(argv) != 3:
        sys.stderr.write("usage: make-bold-tahoma.py WINE_TAHOMABD.ttf OUT.ttf\n")
        return 2
    font = TTFont(argv[1])
    glyf, hmtx = font["glyf"], font["hmtx"]
    for name in font.getGlyphOrder():
        grow_glyph(glyf[name], glyf)
    # Composites after their parts have grown.
    for name in font.getGlyphOrder():
        centre_in_advance(glyf[name], glyf, hmtx, name)
    keep_bold_strikes(font)
    font.recalcTimestamp = False
    font.save(argv[2])
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
