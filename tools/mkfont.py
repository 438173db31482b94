#!/usr/bin/env python3
"""Builds the glyph sheet data/font.png and its description game/font.lua from
the pixel font in tools/art/font5x7.txt.

Each font pixel becomes a SCALE x SCALE block of the sheet, so the smooth
(linear, mipmapped) sampling the host uses for fonts keeps the glyphs crisp.
Glyph metrics are in texture-coordinate units; with "pixelsize" set to
SHEET / SCALE one font pixel is one world unit at text size 1. The text's Y
is its baseline: the ink stands ASCENT units above it, descenders go below.
"""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import pngio  # noqa: E402

SCALE = 4            # sheet pixels per font pixel
SHEET = 512          # sheet side in pixels
CELL_W, CELL_H = 8, 11   # cell in font pixels (glyph at +1, +1)
ROWS = 9             # glyph rows: 7 above the baseline, 2 descenders
ASCENT = 7
COLUMNS = SHEET // (CELL_W * SCALE)
UNITS = SHEET // SCALE   # font pixels per texture unit


def parse(path):
    glyphs, code, rows = {}, None, []
    with open(path) as f:
        for line in f:
            line = line.rstrip("\n")
            if line.startswith(";"):
                continue
            if line.startswith("char "):
                if code is not None:
                    glyphs[code] = rows
                arg = line[5:]
                code = ord(arg) if len(arg) == 1 else int(arg)
                rows = []
            elif line.strip():
                if set(line) - set("#."):
                    raise ValueError("bad glyph row %r for code %d" % (line, code))
                rows.append(line)
    if code is not None:
        glyphs[code] = rows
    for c, r in glyphs.items():
        if len(r) > ROWS:
            raise ValueError("glyph %d has %d rows" % (c, len(r)))
    return glyphs


def ink_columns(code, rows):
    width = max(len(r) for r in rows)
    cols = [x for x in range(width) if any(x < len(r) and r[x] == "#" for r in rows)]
    if not cols or chr(code).isdigit():
        return 0, width - 1
    return cols[0], cols[-1]


def build(glyphs):
    sheet = [[(0, 0, 0, 0)] * SHEET for _ in range(SHEET)]
    table = {}
    for index, code in enumerate(sorted(glyphs)):
        rows = glyphs[code]
        cx = (index % COLUMNS) * CELL_W + 1
        cy = (index // COLUMNS) * CELL_H + 1
        if (cy + ROWS) * SCALE > SHEET:
            raise ValueError("sheet too small")
        for y, row in enumerate(rows):
            for x, ch in enumerate(row):
                if ch != "#":
                    continue
                for dy in range(SCALE):
                    for dx in range(SCALE):
                        sheet[(cy + y) * SCALE + dy][(cx + x) * SCALE + dx] = (255, 255, 255, 255)
        c0, c1 = ink_columns(code, rows)
        width = c1 - c0 + 1
        table[code] = {
            "bearing_x": 0.0,
            "bearing_y": ASCENT / UNITS,
            "texcoord_x": (cx + c0) * SCALE / SHEET,
            "texcoord_y": cy * SCALE / SHEET,
            "size_x": width / UNITS,
            "size_y": ROWS / UNITS,
            "advance": (width + 1) / UNITS,
        }
    return sheet, table


def write_lua(path, table):
    keys = ["bearing_x", "bearing_y", "texcoord_x", "texcoord_y", "size_x", "size_y", "advance"]
    out = ["-- The game font: the glyph sheet data/font.png and its metrics.",
           "-- Written by tools/mkfont.py from tools/art/font5x7.txt; do not edit.",
           "-- Metrics are in texture units; pixelsize makes one font pixel one world",
           "-- unit at text size 1. A text's Y is its baseline.",
           "font = {",
           '  texture = "data/font.png",',
           "  pixelsize = %d," % UNITS,
           "  -- for layout by the scripts (font pixels at size 1); the host ignores them",
           "  ascent = %d," % ASCENT,
           "  descent = %d," % (ROWS - ASCENT),
           "}"]
    for code in sorted(table):
        g = table[code]
        fields = ", ".join("%s = %r" % (k, g[k]) for k in keys)
        out.append("font.glyph_%d = { %s }  -- %r" % (code, fields, chr(code)))
    with open(path, "w") as f:
        f.write("\n".join(out) + "\n")


def main():
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    glyphs = parse(os.path.join(root, "tools", "art", "font5x7.txt"))
    missing = [c for c in range(32, 127) if c not in glyphs]
    if missing:
        raise ValueError("font lacks codes %s" % missing)
    sheet, table = build(glyphs)
    os.makedirs(os.path.join(root, "data"), exist_ok=True)
    os.makedirs(os.path.join(root, "game"), exist_ok=True)
    pngio.write_rgba(os.path.join(root, "data", "font.png"), SHEET, SHEET, sheet)
    write_lua(os.path.join(root, "game", "font.lua"), table)
    print("mkfont: data/font.png %dx%d, game/font.lua with %d glyphs" % (SHEET, SHEET, len(table)))


if __name__ == "__main__":
    main()
