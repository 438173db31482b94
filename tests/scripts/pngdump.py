#!/usr/bin/env python3
"""Prints a PNG's width, height and RGBA bytes as decimal numbers, for the
script tests' stand-in of the host's image functions."""
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools"))
import pngio  # noqa: E402

w, h, rows = pngio.read_rgba(sys.argv[1])
print(w, h)
print(" ".join(str(c) for row in rows for p in row for c in p))
