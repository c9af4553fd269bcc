"""Design helper: writes format_icons.svg, the layered drawing of the 32-by-32 format badges.

The drawing is the source that make_icons.py splits into one file per format; rerun this only
when the badge design changes. Usage: python3 draw_format_icons.py > format_icons.svg
"""
from glyphs import word, word_width

FORMATS = [("vst3", "VST3"), ("clap", "CLAP"), ("aax", "AAX"), ("auv2", "AUv2"), ("auv3", "AUv3"), ("lv2", "LV2")]
CAP, TRACKING, PEN, CONDENSE = 7.6, 2.5, 1.5, 0.7


def layer(name, label):
    width = word_width(label, CAP, TRACKING, CONDENSE)
    letters = word(label, 16 - width / 2, 16 - CAP / 2, CAP, TRACKING, CONDENSE)
    return ('  <g id="layer-%s" style="display:inline">\n'
            '    <rect x="0.9" y="7.5" width="30.2" height="17" rx="4" ry="4" fill="none" stroke="#000000"'
            ' stroke-width="1.8"/>\n'
            '    <path d="%s" fill="none" stroke="#000000" stroke-width="%s" stroke-linecap="round"'
            ' stroke-linejoin="round"/>\n'
            '  </g>\n') % (name, letters, PEN)


print('<svg xmlns="http://www.w3.org/2000/svg" width="32" height="32" viewBox="0 0 32 32">')
print("  <!-- Plug-in format badges, one layer per format. -->")
print("".join(layer(name, label) for name, label in FORMATS), end="")
print("</svg>")
