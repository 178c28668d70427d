#!/usr/bin/python3
"""Draws the "Vorn Pixel" TrueType font from the glyph grids in a text file.

    make-pixel-font.py GLYPHS.txt OUT.ttf

The grid format is described at the top of src/pixel/font/glyphs.txt. Every ink cell becomes a square
of 128 units of a 1280-unit em; each glyph's cells are merged into as few rectangles as a row-run and
column pass finds, one contour per rectangle. The build runs this with Debian's /usr/bin/python3 and
python3-fonttools.
"""

import os
import sys
import tempfile

from fontTools.fontBuilder import FontBuilder
from fontTools.pens.ttGlyphPen import TTGlyphPen

UNIT = 128           # font units per pixel
# 10 pixels to the em: 20 px text has 2 px pixels, 40 px text 4 px. With 1280 units the rasteriser's
# fixed-point scale is exact at 10, 20 and 40 px, so advances stay whole pixels (1000 would give
# 11.98 px for 12 and smear every glyph after the first).
EM = 10 * UNIT
ROWS_ABOVE = 7       # rows that stand on the baseline
ROWS_BELOW = 2       # rows that may hang below it
ASCENT = 10 * UNIT   # room for accents on capitals
DESCENT = ROWS_BELOW * UNIT
FAMILY = "Vorn Pixel"
STYLE = "Regular"
PS_NAME = "VornPixel-Regular"
# A fixed date keeps the build reproducible: the same grids give the same file.
FIXED_TIMESTAMP = 0x00000000E4A1F000

REQUIRED = [chr(c) for c in range(0x20, 0x7F)] + [chr(c) for c in range(0xC0, 0x100)]


class GridError(Exception):
    pass


class Glyph:
    """Ink cells as (column, level): level 0 is the row standing on the baseline, up is positive."""

    def __init__(self, width, cells):
        self.width = width
        self.cells = set(cells)

    def top(self):
        return max((lvl for _, lvl in self.cells), default=0)


class Accent:
    def __init__(self, where, gap, rows):
        self.where = where
        self.gap = gap
        self.rows = rows
        self.width = len(rows[0])


def parse_char(token, where):
    if token.startswith("U+") and len(token) > 2:
        try:
            return chr(int(token[2:], 16))
        except ValueError:
            raise GridError(f"{where}: bad code point {token!r}")
    if len(token) != 1:
        raise GridError(f"{where}: {token!r} is not one character (write U+XXXX)")
    return token


def check_rows(rows, where):
    if not rows:
        raise GridError(f"{where}: no rows")
    width = len(rows[0])
    for r in rows:
        if len(r) != width:
            raise GridError(f"{where}: rows of unequal width")
        if set(r) - {"#", "."}:
            raise GridError(f"{where}: only '#' and '.' may appear in a row")
    return width


def parse(path):
    glyphs, accents, composites, aliases = {}, {}, [], []
    with open(path, encoding="utf-8") as f:
        lines = [(n + 1, l.rstrip("\n")) for n, l in enumerate(f)]

    i = 0
    while i < len(lines):
        n, line = lines[i]
        i += 1
        if not line.strip() or line.startswith(";"):
            continue
        where = f"{path}:{n}"
        words = line.split()
        rows = []
        if words[0] in ("glyph", "accent"):
            while i < len(lines) and lines[i][1] and lines[i][1][0] in "#.":
                rows.append(lines[i][1].strip())
                i += 1
            check_rows(rows, where)
        if words[0] == "glyph" and len(words) == 2:
            ch = parse_char(words[1], where)
            if ch in glyphs:
                raise GridError(f"{where}: {ch!r} drawn twice")
            if len(rows) not in (ROWS_ABOVE, ROWS_ABOVE + ROWS_BELOW):
                raise GridError(f"{where}: a glyph has {ROWS_ABOVE} or {ROWS_ABOVE + ROWS_BELOW} rows")
            cells = [(x, ROWS_ABOVE - 1 - y) for y, r in enumerate(rows) for x, c in enumerate(r) if c == "#"]
            glyphs[ch] = Glyph(len(rows[0]), cells)
        elif words[0] == "accent" and len(words) == 4 and words[2] in ("above", "below"):
            accents[words[1]] = Accent(words[2], int(words[3]), rows)
        elif words[0] == "compose" and len(words) == 4:
            composites.append((parse_char(words[1], where), parse_char(words[2], where), words[3], where))
        elif words[0] == "same" and len(words) == 3:
            aliases.append((parse_char(words[1], where), parse_char(words[2], where), where))
        else:
            raise GridError(f"{where}: cannot read {line!r}")

    for ch, base, name, where in composites:
        if ch in glyphs:
            raise GridError(f"{where}: {ch!r} drawn twice")
        if base not in glyphs or name not in accents:
            raise GridError(f"{where}: unknown base {base!r} or accent {name!r}")
        glyphs[ch] = compose(glyphs[base], accents[name])
    for ch, other, where in aliases:
        if ch in glyphs or other not in glyphs:
            raise GridError(f"{where}: cannot copy {other!r} to {ch!r}")
        glyphs[ch] = glyphs[other]

    missing = [c for c in REQUIRED if c not in glyphs]
    if missing:
        raise GridError("no grid for " + " ".join(f"U+{ord(c):04X}" for c in missing))
    return glyphs


def compose(base, accent):
    dx = (base.width - accent.width + 1) // 2
    height = len(accent.rows)
    if accent.where == "above":
        bottom = base.top() + 1 + accent.gap
    else:
        bottom = -height
    cells = set(base.cells)
    for y, row in enumerate(accent.rows):
        for x, c in enumerate(row):
            if c == "#":
                cells.add((x + dx, bottom + height - 1 - y))
    return Glyph(base.width, cells)


def rectangles(cells):
    """Horizontal runs per level, then runs with the same span stacked into taller rectangles."""
    runs = []
    for lvl in sorted({l for _, l in cells}):
        xs = sorted(x for x, l in cells if l == lvl)
        start = prev = xs[0]
        for x in xs[1:] + [None]:
            if x is not None and x == prev + 1:
                prev = x
                continue
            runs.append((start, prev + 1, lvl))
            if x is not None:
                start = prev = x
    open_rects = {}  # (x0, x1) -> [x0, x1, bottom, top]
    done = []
    for x0, x1, lvl in runs:
        r = open_rects.get((x0, x1))
        if r and r[3] == lvl:
            r[3] = lvl + 1
        else:
            if r:
                done.append(r)
            open_rects[(x0, x1)] = [x0, x1, lvl, lvl + 1]
    done.extend(open_rects.values())
    return sorted(tuple(r) for r in done)


def draw(cells):
    pen = TTGlyphPen(None)
    for x0, x1, bottom, top in rectangles(cells):
        # Clockwise, as TrueType wants outer contours.
        pen.moveTo((x0 * UNIT, bottom * UNIT))
        pen.lineTo((x0 * UNIT, top * UNIT))
        pen.lineTo((x1 * UNIT, top * UNIT))
        pen.lineTo((x1 * UNIT, bottom * UNIT))
        pen.closePath()
    return pen.glyph()


def notdef():
    cells = {(x, l) for x in range(5) for l in range(7) if x in (0, 4) or l in (0, 6)}
    return Glyph(5, cells)


def build(glyphs, out_path):
    chars = sorted(glyphs)
    names = {c: ("space" if c == " " else f"uni{ord(c):04X}") for c in chars}
    order = [".notdef"] + [names[c] for c in chars]
    shapes = {".notdef": notdef()}
    shapes.update({names[c]: glyphs[c] for c in chars})

    fb = FontBuilder(EM, isTTF=True)
    fb.setupGlyphOrder(order)
    fb.setupCharacterMap({ord(c): names[c] for c in chars})
    fb.setupGlyf({name: draw(g.cells) for name, g in shapes.items()})
    fb.setupHorizontalMetrics({
        name: ((g.width + 1) * UNIT, min((x for x, _ in g.cells), default=0) * UNIT)
        for name, g in shapes.items()
    })
    fb.setupHorizontalHeader(ascent=ASCENT, descent=-DESCENT, lineGap=0)
    fb.setupNameTable({
        "familyName": FAMILY,
        "styleName": STYLE,
        "uniqueFontIdentifier": f"{FAMILY} {STYLE} 1.0",
        "fullName": f"{FAMILY} {STYLE}",
        "psName": PS_NAME,
        "version": "Version 1.000",
    })
    fb.setupOS2(
        version=4,
        usWeightClass=400,
        sTypoAscender=ASCENT, sTypoDescender=-DESCENT, sTypoLineGap=0,
        usWinAscent=ASCENT, usWinDescent=DESCENT,
        sxHeight=5 * UNIT, sCapHeight=7 * UNIT,
        fsSelection=0x40 | 0x80,  # regular, use the typo metrics
    )
    fb.setupPost(isFixedPitch=0, underlinePosition=-UNIT, underlineThickness=UNIT)
    fb.updateHead(created=FIXED_TIMESTAMP, modified=FIXED_TIMESTAMP)
    fb.font.recalcTimestamp = False

    # Written beside the target and renamed, so a failed run never leaves half a font behind.
    out_dir = os.path.dirname(os.path.abspath(out_path))
    fd, tmp = tempfile.mkstemp(dir=out_dir, suffix=".ttf.part")
    os.close(fd)
    try:
        fb.save(tmp)
        os.chmod(tmp, 0o644)
        os.replace(tmp, out_path)
    except BaseException:
        os.unlink(tmp)
        raise


def main(argv):
    if len(argv) != 3:
        print(__doc__, file=sys.stderr)
        return 2
    try:
        glyphs = parse(argv[1])
    except GridError as e:
        print(f"make-pixel-font: {e}", file=sys.stderr)
        return 1
    build(glyphs, argv[2])
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
