# Run by FontForge (fontforge -lang=py -script make_fonts.py SRC.ttf DST.otf):
# converts a TrueType face into a CFF-flavoured OpenType font, keeping its names.
import sys
import fontforge

source, target = sys.argv[1], sys.argv[2]
font = fontforge.open(source)
# Reading TrueType outlines leaves quadratic splines; CFF needs cubic ones.
font.is_quadratic = False
font.generate(target, flags=("opentype", "omit-instructions"))
font.close()
