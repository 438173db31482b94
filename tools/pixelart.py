#!/usr/bin/env python3
"""Turns the text pixel art in tools/art/*.txt into PNG files in data/.

An art file holds a palette and one or more images:

    # comment
    palette
    . = transparent
    g = 6f8f3a          (six hex digits; optional alpha as two more digits)
    image bird_up       (written to data/bird_up.png)
    ..gg..
    .gggg.
    end

Rows shorter than the widest row of their image are padded with the
transparent key. Every key used must be in the palette.
"""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import pngio  # noqa: E402


def parse_colour(text):
    if text == "transparent":
        return (0, 0, 0, 0)
    if len(text) not in (6, 8):
        raise ValueError("bad colour " + text)
    vals = [int(text[i:i + 2], 16) for i in range(0, len(text), 2)]
    return tuple(vals) if len(vals) == 4 else (vals[0], vals[1], vals[2], 255)


def parse_art(path):
    palette, images, mode, name, rows = {}, [], None, None, []
    with open(path) as f:
        for lineno, line in enumerate(f, 1):
            line = line.rstrip("\n")
            where = "%s:%d" % (path, lineno)
            if mode == "image":
                if line.strip() == "end":
                    images.append((name, rows))
                    mode, rows = None, []
                else:
                    rows.append(line.strip())
                continue
            stripped = line.strip()
            if not stripped or stripped.startswith("#"):
                continue
            if stripped == "palette":
                mode = "palette"
            elif stripped.startswith("image "):
                mode, name = "image", stripped.split()[1]
            elif mode == "palette" and "=" in stripped:
                key, _, value = stripped.partition("=")
                key = key.strip()
                if len(key) != 1:
                    raise ValueError(where + ": palette key must be one character")
                palette[key] = parse_colour(value.split()[0])
            else:
                raise ValueError(where + ": unexpected line " + repr(line))
    if mode == "image":
        raise ValueError(path + ": image " + name + " has no end")
    return palette, images


def render(palette, name, rows):
    width = max(len(r) for r in rows)
    clear = [k for k, v in palette.items() if v[3] == 0]
    pad = clear[0] if clear else None
    pixels = []
    for y, row in enumerate(rows):
        if len(row) < width:
            if pad is None:
                raise ValueError("%s: row %d is short and there is no transparent key" % (name, y))
            row = row + pad * (width - len(row))
        out = []
        for x, key in enumerate(row):
            if key not in palette:
                raise ValueError("%s: unknown key %r at %d,%d" % (name, key, x, y))
            out.append(palette[key])
        pixels.append(out)
    return width, len(rows), pixels


def main(argv):
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    art_dir = os.path.join(root, "tools", "art")
    out_dir = os.path.join(root, "data")
    os.makedirs(out_dir, exist_ok=True)
    files = argv[1:] or sorted(
        os.path.join(art_dir, n) for n in os.listdir(art_dir)
        if n.endswith(".txt") and not n.startswith("font"))
    for path in files:
        palette, images = parse_art(path)
        for name, rows in images:
            w, h, pixels = render(palette, name, rows)
            pngio.write_rgba(os.path.join(out_dir, name + ".png"), w, h, pixels)
            print("pixelart: data/%s.png %dx%d" % (name, w, h))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
