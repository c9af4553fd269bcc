"""Writes the bundle folder icon, Plugin.ico, from the icon rendered as icon-<size>.png.

Usage: make_bundle_icon.py ICON_PNG_DIR OUT_FILE
"""
import struct
import sys
import os

ICON_SIZES = (16, 24, 32, 48, 64, 256)


def make_ico(png_dir):
    """An .ico holding one PNG-compressed 32-bit image per size."""
    images = []
    for size in ICON_SIZES:
        with open(os.path.join(png_dir, "icon-%d.png" % size), "rb") as f:
            images.append((size, f.read()))

    header = struct.pack("<HHH", 0, 1, len(images))
    offset = len(header) + 16 * len(images)
    directory, data = b"", b""
    for size, png in images:
        side = 0 if size >= 256 else size
        directory += struct.pack("<BBBBHHII", side, side, 0, 0, 1, 32, len(png), offset)
        data += png
        offset += len(png)
    return header + directory + data


if __name__ == "__main__":
    with open(sys.argv[2], "wb") as out:
        out.write(make_ico(sys.argv[1]))
