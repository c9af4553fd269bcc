"""Packs the three plug-in bundles into the zip archives the installer embeds.

Usage: make_archives.py MODULE_DIR ICON_PNG_DIR OUT_DIR

MODULE_DIR holds the built modules Tavrin3.vst3, Tavrin3.clap and Tavrin3.aaxplugin;
ICON_PNG_DIR holds the bundle icon rendered as icon-<size>.png.
Entry names use backslashes, as the archives made on Windows do; every entry gets the
same fixed time stamp and attributes, so the archives are byte-for-byte reproducible.
"""
import os
import struct
import sys
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
TIMESTAMP = (2024, 1, 1, 0, 0, 0)
MSDOS_DIRECTORY, MSDOS_ARCHIVE = 0x10, 0x20
ICON_SIZES = (16, 24, 32, 48, 64, 256)

DESKTOP_INI = ("[.ShellClassInfo]\r\n"
               "IconResource=Plugin.ico,0\r\n"
               "IconFile=Plugin.ico\r\n"
               "IconIndex=0\r\n").encode("ascii")


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


def add_entry(archive, name, data=None):
    info = zipfile.ZipInfo(name, TIMESTAMP)
    info.create_system = 0  # MS-DOS attributes, as a Windows archiver writes them
    if data is None:
        info.compress_type = zipfile.ZIP_STORED
        info.external_attr = MSDOS_DIRECTORY
        archive.writestr(info, b"")
    else:
        info.compress_type = zipfile.ZIP_DEFLATED
        info.external_attr = MSDOS_ARCHIVE
        archive.writestr(info, data, compresslevel=9)


def write_archive(path, entries):
    with zipfile.ZipFile(path, "w") as archive:
        for name, data in entries:
            add_entry(archive, name, data)


def main():
    module_dir, png_dir, out_dir = sys.argv[1:4]

    def module(name):
        with open(os.path.join(module_dir, name), "rb") as f:
            return f.read()

    with open(os.path.join(HERE, "bundle", "moduleinfo.json"), "rb") as f:
        module_info = f.read()

    icon = make_ico(png_dir)

    write_archive(os.path.join(out_dir, "vst3.zip"), [
        ("Tavrin3.vst3\\Contents\\", None),
        ("Tavrin3.vst3\\desktop.ini", DESKTOP_INI),
        ("Tavrin3.vst3\\Plugin.ico", icon),
        ("Tavrin3.vst3\\Contents\\Resources\\moduleinfo.json", module_info),
        ("Tavrin3.vst3\\Contents\\x86_64-win\\Tavrin3.vst3", module("Tavrin3.vst3")),
    ])
    write_archive(os.path.join(out_dir, "clap.zip"), [
        ("Tavrin3.clap", module("Tavrin3.clap")),
    ])
    write_archive(os.path.join(out_dir, "aax.zip"), [
        ("Tavrin3.aaxplugin\\Contents\\", None),
        ("Tavrin3.aaxplugin\\desktop.ini", DESKTOP_INI),
        ("Tavrin3.aaxplugin\\Plugin.ico", icon),
        ("Tavrin3.aaxplugin\\Contents\\x64\\Tavrin3.aaxplugin", module("Tavrin3.aaxplugin")),
    ])


if __name__ == "__main__":
    main()
