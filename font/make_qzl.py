#!/usr/bin/python3
"""Generates QZL.ttf, the clock's private display face.

    make_qzl.py OUT.ttf

The face has ten digits, a colon, a full stop and a "cell" glyph. The clock
addresses them at private code points (U+2FE0..U+2FE9 digits, U+2FEA colon,
U+2FEB full stop, U+2FEC cell), so the face can never stand in for an
ordinary text font by accident; the same glyphs also answer to ASCII 0-9,
':', '.' and space, which keeps probes and previews simple.

The design is a rounded, seven-segment-inspired sans: every digit is drawn
as centre-line strokes of one width along straight runs joined by circular
fillets, and the strokes are turned into outlines here, so stroke width and
corner radii are the same everywhere. Strokes may overlap (TrueType fills
with the non-zero rule, and overlapping glyphs carry OVERLAP_SIMPLE).

A few corners are square, as on a seven-segment display, where a rounded
one would make a digit read as a letter at small sizes: the 5's top-left
and middle-left corners (else it reads as S), the 2's middle-left corner
(Z), the 6's top-left corner (b) and the 9's bottom-right corner (g).

The output is reproducible byte for byte: fixed timestamps, integer
coordinates, no dependence on the clock or on dictionary order.
"""
import math
import sys

from fontTools.fontBuilder import FontBuilder
from fontTools.pens.ttGlyphPen import TTGlyphPen
from fontTools.ttLib import newTable

UNITS_PER_EM = 1000
# 2020-01-01 00:00:00 UTC in seconds since 1904-01-01, the head table's epoch.
FIXED_TIMESTAMP = 3660681600
VERSION = "1.000"

# Digit grid (font units). Ink runs from 0 to DIGIT_TOP vertically and from
# SIDE to ADVANCE - SIDE horizontally; the stroke centre lines sit half a
# stroke inside that box.
ADVANCE = 640
SIDE = 70
DIGIT_TOP = 840
STROKE = 116
HALF = STROKE / 2
LEFT = SIDE + HALF                 # centre line of left-hand strokes
RIGHT = ADVANCE - SIDE - HALF      # centre line of right-hand strokes
BOTTOM = HALF                      # centre line of the bottom bar
TOP = DIGIT_TOP - HALF             # centre line of the top bar
MIDDLE = DIGIT_TOP / 2             # centre line of the middle bar
CORNER = 160                       # fillet radius at the centre line
INK_LEFT = SIDE
INK_RIGHT = ADVANCE - SIDE

# The cell glyph frames one digit: it covers the digit's ink with a margin
# and stays inside the advance, so two cells side by side leave a gap.
CELL_MARGIN_X = 20                 # from the advance edges
CELL_BELOW = -60                   # below the baseline
CELL_TOP = 900                     # above the digit top (840)
CELL_RADIUS = 130

# Punctuation: round dots of the stroke's weight, on a narrower advance.
PUNCT_ADVANCE = 280
DOT_RADIUS = 64
COLON_OFFSET = 190                 # dot centres above and below MIDDLE
SPACE_ADVANCE = 320

# Vertical metrics. The clock measures a digit's height as the character
# height minus the descent, so the descent is chosen to make that equal to
# the top of the cell: ascent covers the cell, descent the cell's foot.
ASCENT = 920
DESCENT = 100


# ---------------------------------------------------------------------------
# Geometry: contours are lists of ("line", point) and ("arc", centre, radius,
# start angle, sweep) items, each ending where the next begins.

def add(p, q):
    return (p[0] + q[0], p[1] + q[1])


def sub(p, q):
    return (p[0] - q[0], p[1] - q[1])


def scale(p, k):
    return (p[0] * k, p[1] * k)


def unit(v):
    length = math.hypot(v[0], v[1])
    return (v[0] / length, v[1] / length)


def left_normal(d):
    return (-d[1], d[0])


def cross(a, b):
    return a[0] * b[1] - a[1] * b[0]


def polar(centre, radius, angle):
    return (centre[0] + radius * math.cos(angle), centre[1] + radius * math.sin(angle))


SQUARE = "square"


def square(point):
    """A polyline point whose corner stays square (no fillet)."""
    return (point[0], point[1], SQUARE)


def centre_line(points, closed, radius):
    """Splits a polyline into straight runs and circular fillets.

    Returns a list of segments: ("line", a, b),
    ("arc", centre, radius, start angle, sweep) and, at points marked
    square(), ("corner", point, incoming direction, outgoing direction).
    Every other interior corner (all corners of a closed polyline) gets a
    fillet of the given radius."""
    sharp = [len(p) > 2 and p[2] == SQUARE for p in points]
    points = [(p[0], p[1]) for p in points]
    n = len(points)
    corners = range(n) if closed else range(1, n - 1)
    fillets = {}
    for i in corners:
        p = points[i]
        d1 = unit(sub(p, points[i - 1]))
        d2 = unit(sub(points[(i + 1) % n], p))
        if sharp[i]:
            fillets[i] = (p, p, ("corner", p, d1, d2))
            continue
        turn = math.atan2(cross(d1, d2), d1[0] * d2[0] + d1[1] * d2[1])
        reach = radius * math.tan(abs(turn) / 2)
        a = sub(p, scale(d1, reach))
        b = add(p, scale(d2, reach))
        side = 1 if turn > 0 else -1
        centre = add(a, scale(left_normal(d1), radius * side))
        start = math.atan2(a[1] - centre[1], a[0] - centre[0])
        fillets[i] = (a, b, ("arc", centre, radius, start, turn))
    segments = []
    if closed:
        for i in range(n):
            segments.append(("line", fillets[i][1], fillets[(i + 1) % n][0]))
            segments.append(fillets[(i + 1) % n][2])
        return segments
    start = points[0]
    for i in range(1, n - 1):
        segments.append(("line", start, fillets[i][0]))
        segments.append(fillets[i][2])
        start = fillets[i][1]
    segments.append(("line", start, points[-1]))
    return segments


def offset(segment, distance):
    """The segment moved sideways by distance (positive: to its left), as a
    list of segments."""
    if segment[0] == "line":
        _, a, b = segment
        n = scale(left_normal(unit(sub(b, a))), distance)
        return [("line", add(a, n), add(b, n))]
    if segment[0] == "corner":
        return mitre(segment, distance)
    _, centre, radius, start, sweep = segment
    # The left side of an anticlockwise arc faces its centre.
    moved = radius - distance if sweep > 0 else radius + distance
    return [("arc", centre, moved, start, sweep)]


def mitre(corner, distance):
    """A square corner's edge at distance: from the end of the incoming
    run's edge to the point where both edges meet, and on to the start of
    the outgoing run's edge."""
    _, p, d1, d2 = corner
    n1 = left_normal(d1)
    n2 = left_normal(d2)
    meet = add(p, scale(add(n1, n2), distance / (1 + n1[0] * n2[0] + n1[1] * n2[1])))
    return [("line", add(p, scale(n1, distance)), meet),
            ("line", meet, add(p, scale(n2, distance)))]


def reverse(segment):
    if segment[0] == "line":
        return ("line", segment[2], segment[1])
    _, centre, radius, start, sweep = segment
    return ("arc", centre, radius, start + sweep, -sweep)


def segment_start(segment):
    if segment[0] == "line":
        return segment[1]
    _, centre, radius, start, _ = segment
    return polar(centre, radius, start)


def segment_end(segment):
    return segment_start(reverse(segment))


def stroke(points, closed=False):
    """Outline contours of a stroke of width STROKE along the polyline.

    An open stroke has flat (butt) ends and gives one contour; a closed one
    gives its outer and inner edge."""
    path = centre_line(points, closed, CORNER)
    left = [piece for s in path for piece in offset(s, HALF)]
    right = [reverse(piece) for s in reversed(path) for piece in reversed(offset(s, -HALF))]
    if closed:
        return [left, right]
    end_cap = ("line", segment_end(left[-1]), segment_start(right[0]))
    start_cap = ("line", segment_end(right[-1]), segment_start(left[0]))
    return [left + [end_cap] + right + [start_cap]]


def polygon(points):
    return [[("line", points[i], points[(i + 1) % len(points)]) for i in range(len(points))]]


def rounded_rect(x0, y0, x1, y1, radius):
    corners = [((x1 - radius, y0 + radius), -math.pi / 2),
               ((x1 - radius, y1 - radius), 0.0),
               ((x0 + radius, y1 - radius), math.pi / 2),
               ((x0 + radius, y0 + radius), math.pi)]
    contour = []
    for i, (centre, angle) in enumerate(corners):
        contour.append(("arc", centre, radius, angle, math.pi / 2))
        following = corners[(i + 1) % 4]
        contour.append(("line", polar(centre, radius, angle + math.pi / 2),
                        polar(following[0], radius, following[1])))
    return [contour]


def dot(cx, cy):
    return [[("arc", (cx, cy), DOT_RADIUS, 0.0, 2 * math.pi)]]


# ---------------------------------------------------------------------------
# Contours to TrueType points.

def flatten(contour):
    """On-curve and off-curve points of a contour, quadratic arcs split into
    pieces of at most 45 degrees (well under a unit of error at this size)."""
    points = []
    for segment in contour:
        if segment[0] == "line":
            points.append((segment[1], True))
            continue
        _, centre, radius, start, sweep = segment
        pieces = max(1, math.ceil(abs(sweep) / (math.pi / 4) - 1e-9))
        step = sweep / pieces
        points.append((polar(centre, radius, start), True))
        if radius < 0.5:
            continue
        for k in range(pieces):
            middle = start + step * (k + 0.5)
            points.append((polar(centre, radius / math.cos(step / 2), middle), False))
            if k < pieces - 1:
                points.append((polar(centre, radius, start + step * (k + 1)), True))
    return dedupe([((round(p[0]), round(p[1])), on) for p, on in points])


def dedupe(points):
    """Drops on-curve points that repeat their predecessor (where a fillet
    of zero length meets a straight run)."""
    kept = []
    for point, on in points:
        if kept and on and kept[-1][1] and kept[-1][0] == point:
            continue
        kept.append((point, on))
    if len(kept) > 1 and kept[0][1] and kept[-1][1] and kept[0][0] == kept[-1][0]:
        kept.pop()
    return kept


def signed_area(points):
    total = 0
    for i in range(len(points)):
        (x0, y0), (x1, y1) = points[i][0], points[(i + 1) % len(points)][0]
        total += x0 * y1 - x1 * y0
    return total / 2


def draw_glyph(parts):
    """A TrueType glyph from parts (lists of contours). A part with two
    contours is a ring: its smaller contour is the hole and runs
    anticlockwise; every other contour runs clockwise (filled)."""
    pen = TTGlyphPen(None)
    for part in parts:
        flattened = [flatten(c) for c in part]
        smallest = min(abs(signed_area(p)) for p in flattened)
        for points in flattened:
            hole = len(flattened) > 1 and abs(signed_area(points)) == smallest
            clockwise = signed_area(points) < 0
            if clockwise == hole:
                points = [points[0]] + list(reversed(points[1:]))
            write_contour(pen, points)
    return pen.glyph()


def write_contour(pen, points):
    pen.moveTo(points[0][0])
    pending = []
    for point, on in points[1:]:
        if on:
            if pending:
                pen.qCurveTo(*pending, point)
                pending = []
            else:
                pen.lineTo(point)
        else:
            pending.append(point)
    if pending:
        pen.qCurveTo(*pending, points[0][0])
    pen.closePath()


# ---------------------------------------------------------------------------
# The glyphs.

def digit_parts():
    """Parts of each digit, "0" to "9", on the digit grid."""
    L, R, B, T, M = LEFT, RIGHT, BOTTOM, TOP, MIDDLE
    lower_bowl = stroke([(L, B), (R, B), (R, M), (L, M)], closed=True)
    upper_bowl = stroke([(L, M), (R, M), (R, T), (L, T)], closed=True)
    one_stem_left = 300
    one_stem_right = one_stem_left + STROKE
    flag_slope = 0.7
    flag_end = 180
    flag_low = 560
    flag_high = flag_low + 130
    return [
        # 0: a rounded frame.
        [stroke([(L, B), (R, B), (R, T), (L, T)], closed=True)],
        # 1: a stem with a flag leaning to the left.
        [polygon([(one_stem_left, 0),
                  (one_stem_left, flag_low + (one_stem_left - flag_end) * flag_slope),
                  (flag_end, flag_low),
                  (flag_end, flag_high),
                  (flag_end + (DIGIT_TOP - flag_high) / flag_slope, DIGIT_TOP),
                  (one_stem_right, DIGIT_TOP),
                  (one_stem_right, 0)])],
        # 2: hook, top, upper right, middle, lower left, bottom; the square
        # middle-left corner keeps it from reading as Z.
        [stroke([(L, T - 150), (L, T), (R, T), (R, M), square((L, M)), (L, B), (INK_RIGHT, B)])],
        # 3: two right-hand bowls meeting at a notch.
        [stroke([(INK_LEFT, T), (R, T), (R, M), (L + 80, M)]),
         stroke([(L + 80, M), (R, M), (R, B), (INK_LEFT, B)])],
        # 4: left arm down to the bar, full right stem.
        [stroke([(L, DIGIT_TOP), (L, M), (INK_RIGHT, M)]),
         stroke([(R, DIGIT_TOP), (R, 0)])],
        # 5: top, upper left, middle, lower right, bottom; square on the
        # left, where an S is round.
        [stroke([(INK_RIGHT, T), square((L, T)), square((L, M)), (R, M), (R, B), (INK_LEFT, B)])],
        # 6: a lower bowl with a stem rising square into the top bar (a b
        # has no bar).
        [lower_bowl, stroke([(INK_RIGHT, T), square((L, T)), (L, M)])],
        # 7: top bar turning down into the right stem.
        [stroke([(INK_LEFT, T), (R, T), (R, 0)])],
        # 8: two bowls sharing the middle bar.
        [lower_bowl, upper_bowl],
        # 9: the six turned half a turn (square at the foot, where a g
        # curls).
        [upper_bowl, stroke([(INK_LEFT, B), square((R, B)), (R, M)])],
    ]


def cell_parts():
    return [rounded_rect(CELL_MARGIN_X, CELL_BELOW, ADVANCE - CELL_MARGIN_X, CELL_TOP, CELL_RADIUS)]


def colon_parts():
    centre = PUNCT_ADVANCE / 2
    return [dot(centre, MIDDLE - COLON_OFFSET), dot(centre, MIDDLE + COLON_OFFSET)]


def period_parts():
    return [dot(PUNCT_ADVANCE / 2, DOT_RADIUS)]


def notdef_parts():
    return [stroke([(80, 40), (480, 40), (480, 800), (80, 800)], closed=True)]


DIGIT_NAMES = ["zero", "one", "two", "three", "four",
               "five", "six", "seven", "eight", "nine"]
PRIVATE_DIGITS = 0x2FE0
PRIVATE_COLON = 0x2FEA
PRIVATE_PERIOD = 0x2FEB
PRIVATE_CELL = 0x2FEC


def glyph_table():
    """Glyph name -> (advance, parts), in glyph order."""
    table = {".notdef": (560, notdef_parts()), "space": (SPACE_ADVANCE, [])}
    for name, parts in zip(DIGIT_NAMES, digit_parts()):
        table[name] = (ADVANCE, parts)
    table["colon"] = (PUNCT_ADVANCE, colon_parts())
    table["period"] = (PUNCT_ADVANCE, period_parts())
    table["cell"] = (ADVANCE, cell_parts())
    return table


def character_map():
    cmap = {ord(" "): "space", ord(":"): "colon", ord("."): "period",
            PRIVATE_COLON: "colon", PRIVATE_PERIOD: "period", PRIVATE_CELL: "cell"}
    for i, name in enumerate(DIGIT_NAMES):
        cmap[ord("0") + i] = name
        cmap[PRIVATE_DIGITS + i] = name
    return cmap


def overlaps(parts):
    """More than one part means strokes that may overlap."""
    return len(parts) > 1


def build_glyphs(table):
    glyphs = {}
    for name, (_, parts) in table.items():
        glyph = draw_glyph(parts)
        if overlaps(parts) and glyph.numberOfContours > 0:
            # OVERLAP_SIMPLE: tells rasterisers that contours overlap on
            # purpose (they fill with the non-zero rule anyway).
            glyph.flags[0] |= 0x40
        glyphs[name] = glyph
    return glyphs


def build_font():
    table = glyph_table()
    order = list(table)
    builder = FontBuilder(UNITS_PER_EM, isTTF=True)
    builder.setupGlyphOrder(order)
    builder.setupCharacterMap(character_map())
    glyphs = build_glyphs(table)
    builder.setupGlyf(glyphs)
    glyf = builder.font["glyf"]
    metrics = {}
    for name in order:
        glyph = glyf[name]
        glyph.recalcBounds(glyf)
        metrics[name] = (table[name][0], getattr(glyph, "xMin", 0))
    builder.setupHorizontalMetrics(metrics)
    builder.setupHorizontalHeader(ascent=ASCENT, descent=-DESCENT, lineGap=0)
    builder.setupNameTable({
        "copyright": "Copyright (c) Marrowfen",
        "familyName": "QZL",
        "styleName": "Regular",
        "uniqueFontIdentifier": "Marrowfen: QZL: " + VERSION,
        "fullName": "QZL",
        "version": "Version " + VERSION,
        "psName": "QZL",
        "manufacturer": "Marrowfen",
    })
    builder.setupOS2(
        version=4,
        # Medium: the clock asks for weight 500, and a face that is 500
        # itself is never synthetically emboldened.
        usWeightClass=500,
        usWidthClass=5,
        fsType=0,
        fsSelection=0x40,              # REGULAR
        sTypoAscender=ASCENT - (ASCENT + DESCENT - UNITS_PER_EM),
        sTypoDescender=-DESCENT,
        sTypoLineGap=0,
        usWinAscent=ASCENT,
        usWinDescent=DESCENT,
        sxHeight=round(MIDDLE),
        sCapHeight=DIGIT_TOP,
        ulCodePageRange1=0x00000001,   # Latin 1
        ulCodePageRange2=0,
        achVendID="MRWF",
        usDefaultChar=0,
        usBreakChar=32,
        usMaxContext=0,
    )
    builder.setupPost(keepGlyphNames=True)
    builder.setupHead(unitsPerEm=UNITS_PER_EM, fontRevision=float(VERSION),
                      created=FIXED_TIMESTAMP, modified=FIXED_TIMESTAMP,
                      lowestRecPPEM=8)
    builder.setupMaxp()
    # Smooth, grid-fitted rendering at every size: the face has no hints.
    gasp = newTable("gasp")
    gasp.version = 1
    gasp.gaspRange = {0xFFFF: 0x000F}
    builder.font["gasp"] = gasp
    return builder.font


def main(argv):
    if len(argv) != 2:
        sys.stderr.write("usage: make_qzl.py OUT.ttf\n")
        return 2
    font = build_font()
    # Keep the fixed timestamps: saving would otherwise stamp the time now.
    font.recalcTimestamp = False
    font.save(argv[1])
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
