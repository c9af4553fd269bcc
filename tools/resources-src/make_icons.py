"""Writes the SVG icons and the word mark into the resources folder.

Usage: make_icons.py OUT_DIR

The program recolours opaque black (#000000) to its dark ink, so every pictogram that should take
the ink is drawn in pure black on a transparent ground; the e-mail envelope, the success disc and
the warning sign keep their own colours. The six 32-by-32 format badges are cut from the layered
drawing format_icons.svg: each file keeps all layers and shows only its own.
"""
import math
import os
import re
import sys

from glyphs import word, word_width

HERE = os.path.dirname(os.path.abspath(__file__))
INK = "#000000"
MAIL_INK = "#1D1D1B"  # rgb(29,29,27): not pure black, so the envelope keeps its colour
SUCCESS_GREEN = "#3AAA35"
WARNING_ORANGE = "#F39200"
WHITE = "#FFFFFF"


def svg(width, height, title, body):
    return ('<svg xmlns="http://www.w3.org/2000/svg" width="%d" height="%d" viewBox="0 0 %d %d">\n'
            "  <!-- %s -->\n%s</svg>\n") % (width, height, width, height, title, body)


def stroke(d, colour=INK, width=16):
    return ('  <path d="%s" fill="none" stroke="%s" stroke-width="%s" stroke-linecap="round"'
            ' stroke-linejoin="round"/>\n') % (d, colour, width)


def fill(d, colour=INK, evenodd=False):
    rule = ' fill-rule="evenodd"' if evenodd else ""
    return '  <path d="%s" fill="%s"%s/>\n' % (d, colour, rule)


def disc(cx, cy, r):
    """A circle as a closed subpath, so it can cut a hole in an even-odd fill."""
    return "M%g %gA%g %g 0 1 0 %g %gA%g %g 0 1 0 %g %gZ" % (cx - r, cy, r, r, cx + r, cy, r, r, cx - r, cy)


PAGE = "M64 20H152L204 72V222A14 14 0 0 1 190 236H66A14 14 0 0 1 52 222V34A14 14 0 0 1 66 20Z"
PAGE_FOLD = "M152 20V58A14 14 0 0 0 166 72H204"


def eula():
    lines = "M84 110H172M84 142H172M84 174H172M84 206H140"
    return svg(256, 256, "Licence: a page with lines of text", stroke(PAGE) + stroke(PAGE_FOLD) + stroke(lines, width=14))


def manual():
    arrow = "M128 70V146M98 118L128 148L158 118"
    label = word("PDF", 128 - word_width("PDF", 34, 12) / 2, 178, 34, 12)
    return svg(256, 256, "Manual: a PDF page with a down arrow",
               stroke(PAGE) + stroke(PAGE_FOLD) + stroke(arrow) + stroke(label, width=11))


def web():
    body = ('  <circle cx="128" cy="128" r="100" fill="none" stroke="%s" stroke-width="16"/>\n'
            '  <ellipse cx="128" cy="128" rx="44" ry="100" fill="none" stroke="%s" stroke-width="14"/>\n'
            % (INK, INK))
    body += stroke("M28 128H228M46 78H210M46 178H210M128 28V228", width=14)
    return svg(256, 256, "Website: a globe", body)


def help_icon():
    body = '  <circle cx="128" cy="128" r="104" fill="none" stroke="%s" stroke-width="16"/>\n' % INK
    body += stroke("M94 102C94 78 110 64 130 64C152 64 166 79 166 98C166 120 142 126 134 140C131 145 130 150 130 158",
                   width=20)
    body += '  <circle cx="130" cy="192" r="13" fill="%s"/>\n' % INK
    return svg(256, 256, "Support: a disc with a question sign", body)


def gear_outline(cx, cy, teeth, outer, root, tip_share, root_share):
    """Gear rim as a closed polygon: each tooth has a flat tip and flanks that widen to the root."""
    points = []
    step = 2 * math.pi / teeth
    for i in range(teeth):
        mid = -math.pi / 2 + i * step
        for angle, radius in ((mid - step * root_share / 2, root), (mid - step * tip_share / 2, outer),
                              (mid + step * tip_share / 2, outer), (mid + step * root_share / 2, root)):
            points.append((cx + radius * math.cos(angle), cy + radius * math.sin(angle)))
    return "M" + "L".join("%.2f %.2f" % p for p in points) + "Z"


def install():
    gear = gear_outline(128, 128, 8, 118, 94, 0.30, 0.50) + disc(128, 128, 66)
    # A thin stroke in the same ink rounds the tooth corners.
    body = ('  <path d="%s" fill="%s" fill-rule="evenodd" stroke="%s" stroke-width="6" stroke-linejoin="round"/>\n'
            % (gear, INK, INK))
    body += stroke("M128 84V164M100 138L128 166L156 138", width=20)
    return svg(256, 256, "Install: a gear with a down arrow", body)


def discord():
    front = ("M60 100H140A36 36 0 0 1 176 136V166A36 36 0 0 1 140 202H92L54 230L58 200"
             "A36 36 0 0 1 24 166V136A36 36 0 0 1 60 100Z")
    dots = disc(66, 151, 11) + disc(100, 151, 11) + disc(134, 151, 11)
    # The bubble behind stops short of the front one, leaving a gap instead of an overlap.
    back = "M92 80V70A36 36 0 0 1 128 34H196A36 36 0 0 1 232 70V104A36 36 0 0 1 196 140H192"
    body = stroke(back) + fill(front + dots, evenodd=True)
    return svg(256, 256, "Community chat: two speech bubbles", body)


def mail():
    body = ('  <rect x="24" y="56" width="208" height="144" rx="18" ry="18" fill="none" stroke="%s"'
            ' stroke-width="16"/>\n' % MAIL_INK)
    body += stroke("M34 72L128 142L222 72", colour=MAIL_INK)
    return svg(256, 256, "E-mail: an envelope", body)


def success():
    body = '  <circle cx="128" cy="128" r="112" fill="%s"/>\n' % SUCCESS_GREEN
    body += stroke("M76 132L112 168L182 96", colour=WHITE, width=24)
    return svg(256, 256, "Success: a green disc with a check mark", body)


def warning():
    triangle = "M128 34L232 214H24Z"
    body = ('  <path d="%s" fill="%s" stroke="%s" stroke-width="28" stroke-linejoin="round"/>\n'
            % (triangle, WARNING_ORANGE, WARNING_ORANGE))
    body += stroke("M128 96V152", colour=WHITE, width=22)
    body += '  <circle cx="128" cy="189" r="13" fill="%s"/>\n' % WHITE
    return svg(256, 256, "Warning: an orange triangle with an exclamation mark", body)


def logo():
    pen, margin = 18, 2
    cap = 131 - pen - 2 * margin
    width = word_width("ORVELLA", cap, 0)
    tracking = (1000 - 2 * margin - pen - width) / 6
    letters = word("ORVELLA", margin + pen / 2, margin + pen / 2, cap, tracking)
    return svg(1000, 131, "Orvella word mark", stroke(letters, width=pen))


def format_badges():
    with open(os.path.join(HERE, "format_icons.svg"), encoding="utf-8") as f:
        drawing = f.read()
    layer_tag = re.compile(r'<g id="layer-(\w+)" style="display:\w+"')
    for name in layer_tag.findall(drawing):
        shown = layer_tag.sub(lambda m: '<g id="layer-%s" style="display:%s"'
                              % (m.group(1), "inline" if m.group(1) == name else "none"), drawing)
        yield "icon_%s.svg" % name, shown


def main():
    out_dir = sys.argv[1]
    files = {
        "icon_eula.svg": eula(),
        "icon_manual.svg": manual(),
        "icon_web.svg": web(),
        "icon_help.svg": help_icon(),
        "icon_install.svg": install(),
        "icon_discord.svg": discord(),
        "icon_mail.svg": mail(),
        "icon_success.svg": success(),
        "icon_warning.svg": warning(),
        "logo_orvella.svg": logo(),
    }
    files.update(format_badges())
    for name, text in sorted(files.items()):
        with open(os.path.join(out_dir, name), "w", encoding="utf-8", newline="\n") as f:
            f.write(text)


if __name__ == "__main__":
    main()
