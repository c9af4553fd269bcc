#!/usr/bin/env python3
"""Packs the plug-in bundles of a build into the archives the installer embeds.

Usage: pack-bundles.py [--vst3 BUNDLE] [--clap BUNDLE] [--aax BUNDLE] [--out DIR] [--checker PATH]

Each given bundle (a Tavrin3.vst3 folder, a Tavrin3.clap file, a Tavrin3.aaxplugin folder, named as in
product/product.json) becomes its format's archive in DIR (default: resources/); a format left out keeps the
archive already there. Entries: one top-level name, backslash separators, breadth-first with names sorted
case-insensitively, a stored empty entry for each folder that holds no file of its own, files deflated, fixed
times and attributes, so the same bundles give the same bytes.

Nothing is written to DIR unless every bundle passes: links and other non-regular files, names that are not
UTF-8, files of 4 GiB or more and bundles not named for the product are refused here; every other rule (names
Windows cannot hold or takes for a device, two names Windows takes as one, paths beyond its limits below the
default folder, the size a bundle may unpack to, the module at the probe path, a 64-bit x86 image, a version
that reads back as installed) is the installer's own, applied by archive-check (built by CMake; default
build/archive-check) to the archives in a scratch folder. Files are streamed, never read whole. Standard
library only.
"""
import argparse
import json
import os
import shutil
import stat
import subprocess
import sys
import tempfile
import zipfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
TIMESTAMP = (2024, 1, 1, 0, 0, 0)
MSDOS_DIRECTORY, MSDOS_ARCHIVE = 0x10, 0x20
ZIP_LIMIT = 0xFFFFFFFF  # sizes the archive form the installer reads can hold, below this
CHUNK_SIZE = 1 << 20


class Refusal(Exception):
    pass


def load_product():
    with open(os.path.join(ROOT, "product", "product.json"), encoding="utf-8") as f:
        return json.load(f)


def is_utf8(name):
    """Names the file system gave as bytes that are not UTF-8 arrive with lone surrogates in them."""
    try:
        name.encode("utf-8")
        return True
    except UnicodeEncodeError:
        return False


def printable(path):
    return os.fsencode(path).decode("utf-8", "backslashreplace")


def walk(bundle):
    """(entry name, source path or None for a folder entry), in archive order."""
    name = os.path.basename(bundle)
    if os.path.isfile(bundle):
        return [(name, bundle)]
    entries, level = [], [(name, bundle)]
    while level:
        next_level = []
        for entry, folder in level:
            children = sorted(os.listdir(folder), key=lambda n: (n.casefold(), n))
            for child in children:
                path = os.path.join(folder, child)
                if not is_utf8(child):
                    raise Refusal("%s: the name is not valid UTF-8, the only encoding the archive's names have"
                                  % printable(path))
                mode = os.lstat(path).st_mode
                if stat.S_ISDIR(mode):
                    holds_files = any(not stat.S_ISDIR(os.lstat(os.path.join(path, c)).st_mode) for c in os.listdir(path))
                    if not holds_files:
                        entries.append((entry + "\\" + child + "\\", None))
                    next_level.append((entry + "\\" + child, path))
                elif stat.S_ISREG(mode):
                    if os.path.getsize(path) >= ZIP_LIMIT:
                        raise Refusal("%s: a file of 4 GiB or more does not fit the archive form the installer reads" % path)
                    entries.append((entry + "\\" + child, path))
                else:
                    raise Refusal("%s: not a plain file or folder (links, pipes and devices are not packed)" % path)
        level = next_level
    return entries


def check_bundle(bundle, expected_name, folder_bundle):
    mode = os.lstat(bundle).st_mode if os.path.lexists(bundle) else None
    if mode is None:
        raise Refusal("%s: no such bundle" % bundle)
    if os.path.basename(os.path.normpath(bundle)) != expected_name:
        raise Refusal("%s: the bundle must be named %s, the product's name" % (bundle, expected_name))
    if folder_bundle and not stat.S_ISDIR(mode) or not folder_bundle and not stat.S_ISREG(mode):
        raise Refusal("%s: must be a %s" % (bundle, "folder" if folder_bundle else "plain file"))
    if not folder_bundle and os.path.getsize(bundle) >= ZIP_LIMIT:
        raise Refusal("%s: a file of 4 GiB or more does not fit the archive form the installer reads" % bundle)


def write_archive(path, entries):
    with zipfile.ZipFile(path, "w") as archive:
        for name, source in entries:
            info = zipfile.ZipInfo(name, TIMESTAMP)
            info.create_system = 0  # MS-DOS attributes, as a Windows archiver writes them
            if source is None:
                info.compress_type = zipfile.ZIP_STORED
                info.external_attr = MSDOS_DIRECTORY
                archive.writestr(info, b"")
            else:
                info.compress_type = zipfile.ZIP_DEFLATED
                info.external_attr = MSDOS_ARCHIVE
                info._compresslevel = 9  # as writestr(..., compresslevel=9) sets it; compress_level from Python 3.13
                # Streamed, never read whole. With the size known beforehand, as writestr knows it, the bytes
                # written are the same.
                with open(source, "rb") as f:
                    info.file_size = os.fstat(f.fileno()).st_size
                    with archive.open(info, "w") as out:
                        shutil.copyfileobj(f, out, CHUNK_SIZE)


def pack(bundles, out_dir, checker):
    """bundles: {format index: path}. Raises Refusal, leaving out_dir as it was."""
    product = load_product()
    if not bundles:
        raise Refusal("no bundle given: name at least one of --vst3, --clap, --aax")
    if not (os.path.isfile(checker) and os.access(checker, os.X_OK)):
        raise Refusal("%s: no archive-check; build it first (cmake --build build --target archive-check)" % checker)
    plan = []
    for index, bundle in sorted(bundles.items()):
        fmt = product["formats"][index]
        check_bundle(bundle, product["productIdentifier"] + fmt["extension"], fmt["moduleFolder"] != "")
        plan.append((fmt["archive"], bundle, walk(os.path.normpath(bundle))))
    with tempfile.TemporaryDirectory(prefix="pack-bundles-") as scratch:
        for archive, bundle, entries in plan:
            write_archive(os.path.join(scratch, archive), entries)
        run = subprocess.run([checker] + [os.path.join(scratch, archive) for archive, _, _ in plan],
                             stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        if run.returncode != 0:
            raise Refusal(run.stderr.replace(scratch + os.sep, "").strip())
        os.makedirs(out_dir, exist_ok=True)
        for archive, _, _ in plan:
            shutil.copyfile(os.path.join(scratch, archive), os.path.join(out_dir, archive + ".new"))
        for archive, _, _ in plan:
            os.replace(os.path.join(out_dir, archive + ".new"), os.path.join(out_dir, archive))
    return [archive for archive, _, _ in plan]


def main():
    product = load_product()
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    for fmt in product["formats"]:
        parser.add_argument("--" + fmt["name"].lower(), metavar="BUNDLE",
                            help="the built %s%s" % (product["productIdentifier"], fmt["extension"]))
    parser.add_argument("--out", default=os.path.join(ROOT, "resources"), help="folder of the archives")
    parser.add_argument("--checker", default=os.path.join(ROOT, "build", "archive-check"),
                        help="the archive-check tool CMake builds")
    args = parser.parse_args()
    bundles = {i: getattr(args, fmt["name"].lower()) for i, fmt in enumerate(product["formats"])
               if getattr(args, fmt["name"].lower())}
    try:
        written = pack(bundles, args.out, args.checker)
    except Refusal as refusal:
        sys.exit("pack-bundles: refused, nothing written:\n%s" % refusal)
    for archive in written:
        print(os.path.join(args.out, archive))


if __name__ == "__main__":
    main()
