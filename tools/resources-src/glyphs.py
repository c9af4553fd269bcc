"""Stroke letters for the word mark and the format badges.

Each glyph is a centre line drawn with a round pen: a list of path commands in a unit box whose
cap height is 1 (y grows downwards), plus its advance width. `word` lays glyphs out and scales them
into absolute SVG path data, so the files carry plain paths and need no font.
"""

GLYPHS = {
    "A": (0.80, [("M", 0, 1), ("L", 0.40, 0), ("L", 0.80, 1), ("M", 0.148, 0.63), ("L", 0.652, 0.63)]),
    "C": (0.76, [("M", 0.74, 0.16), ("A", 0.46, 0.5, 0, 1, 0, 0.74, 0.84)]),
    "D": (0.72, [("M", 0, 0), ("L", 0, 1), ("L", 0.26, 1), ("C", 0.58, 1, 0.72, 0.78, 0.72, 0.5),
                 ("C", 0.72, 0.22, 0.58, 0, 0.26, 0), ("Z",)]),
    "E": (0.62, [("M", 0.62, 0), ("L", 0, 0), ("L", 0, 1), ("L", 0.62, 1), ("M", 0, 0.5), ("L", 0.52, 0.5)]),
    "F": (0.58, [("M", 0.58, 0), ("L", 0, 0), ("L", 0, 1), ("M", 0, 0.5), ("L", 0.48, 0.5)]),
    "L": (0.56, [("M", 0, 0), ("L", 0, 1), ("L", 0.56, 1)]),
    "O": (1.00, [("M", 0, 0.5), ("A", 0.5, 0.5, 0, 1, 1, 1, 0.5), ("A", 0.5, 0.5, 0, 1, 1, 0, 0.5), ("Z",)]),
    "P": (0.64, [("M", 0, 1), ("L", 0, 0), ("L", 0.36, 0), ("A", 0.27, 0.27, 0, 0, 1, 0.36, 0.54),
                 ("L", 0, 0.54)]),
    "R": (0.68, [("M", 0, 1), ("L", 0, 0), ("L", 0.40, 0), ("A", 0.25, 0.25, 0, 0, 1, 0.40, 0.50),
                 ("L", 0, 0.50), ("M", 0.36, 0.50), ("L", 0.68, 1)]),
    "S": (0.68, [("M", 0.66, 0.15), ("C", 0.58, 0.04, 0.47, 0, 0.35, 0), ("C", 0.16, 0, 0.03, 0.10, 0.03, 0.26),
                 ("C", 0.03, 0.43, 0.19, 0.47, 0.35, 0.50), ("C", 0.54, 0.53, 0.68, 0.59, 0.68, 0.75),
                 ("C", 0.68, 0.91, 0.54, 1, 0.34, 1), ("C", 0.20, 1, 0.08, 0.95, 0, 0.84)]),
    "T": (0.70, [("M", 0, 0), ("L", 0.70, 0), ("M", 0.35, 0), ("L", 0.35, 1)]),
    "U": (0.70, [("M", 0, 0), ("L", 0, 0.65), ("A", 0.35, 0.35, 0, 0, 0, 0.70, 0.65), ("L", 0.70, 0)]),
    "V": (0.80, [("M", 0, 0), ("L", 0.40, 1), ("L", 0.80, 0)]),
    "X": (0.74, [("M", 0, 0), ("L", 0.74, 1), ("M", 0.74, 0), ("L", 0, 1)]),
    "v": (0.58, [("M", 0, 0.34), ("L", 0.29, 1), ("L", 0.58, 0.34)]),
    "2": (0.64, [("M", 0.03, 0.22), ("C", 0.07, 0.08, 0.18, 0, 0.33, 0), ("C", 0.50, 0, 0.63, 0.11, 0.63, 0.28),
                 ("C", 0.63, 0.45, 0.50, 0.55, 0.36, 0.67), ("L", 0, 1), ("L", 0.64, 1)]),
    "3": (0.64, [("M", 0.03, 0), ("L", 0.60, 0), ("L", 0.30, 0.39), ("C", 0.50, 0.37, 0.64, 0.50, 0.64, 0.69),
                 ("C", 0.64, 0.88, 0.50, 1, 0.32, 1), ("C", 0.18, 1, 0.07, 0.94, 0, 0.84)]),
}


def fmt(value):
    text = ("%.2f" % value).rstrip("0").rstrip(".")
    return "0" if text == "-0" else text


def glyph_path(char, x, y, size, condense=1.0):
    """Path data of one glyph with its top-left corner at (x, y), cap height `size`, widths times `condense`."""
    _, commands = GLYPHS[char]
    parts = []
    for command in commands:
        op, args = command[0], command[1:]
        if op == "Z":
            parts.append("Z")
        elif op == "A":
            rx, ry, rotation, large, sweep, ex, ey = args
            parts.append("A%s %s %d %d %d %s %s" % (fmt(rx * size * condense), fmt(ry * size), rotation, large,
                                                    sweep, fmt(x + ex * size * condense), fmt(y + ey * size)))
        else:
            points = [fmt(x + args[i] * size * condense) + " " + fmt(y + args[i + 1] * size) for i in range(0, len(args), 2)]
            parts.append(op + " ".join(points))
    return "".join(parts)


def word_width(text, size, tracking, condense=1.0):
    return sum(GLYPHS[c][0] for c in text) * size * condense + tracking * (len(text) - 1)


def word(text, x, y, size, tracking, condense=1.0):
    """Path data of `text` starting at (x, y), glyphs `tracking` apart (in absolute units)."""
    parts = []
    for char in text:
        parts.append(glyph_path(char, x, y, size, condense))
        x += GLYPHS[char][0] * size * condense + tracking
    return "".join(parts)
