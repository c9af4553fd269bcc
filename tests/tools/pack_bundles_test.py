"""The packer on bundle trees made here from the PE fixtures, and archive-check (the build's check) on its own.

Good bundles must pack into archives that archive-check passes, which means the installer's own unpack and
probe read them back as installed; every bad one must be refused with the file and the rule named, and leave
the output folder as it was. Run by CTest with ARCHIVE_CHECK set to the built tool."""
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import unittest
import zipfile

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
PACKER = os.path.join(ROOT, "tools", "pack-bundles.py")
FIXTURES = os.path.join(ROOT, "tests", "fixtures", "pe")
CHECKER = os.environ.get("ARCHIVE_CHECK", os.path.join(ROOT, "build", "archive-check"))


class PackBundles(unittest.TestCase):
    def setUp(self):
        self.root = tempfile.mkdtemp(prefix="pack-test-")
        self.out = os.path.join(self.root, "out")
        os.makedirs(self.out)
        self.vst3 = os.path.join(self.root, "Tavrin3.vst3")
        self.clap = os.path.join(self.root, "Tavrin3.clap")
        self.aax = os.path.join(self.root, "Tavrin3.aaxplugin")
        self.put(self.vst3, "Contents/x86_64-win/Tavrin3.vst3", fixture="v3.1.10.0-x64.dll")
        self.put(self.vst3, "Contents/Resources/moduleinfo.json", b"{}")
        self.put(self.vst3, "desktop.ini", b"[.ShellClassInfo]\r\n")
        shutil.copyfile(os.path.join(FIXTURES, "no-version-x64.dll"), self.clap)
        self.put(self.aax, "Contents/x64/Tavrin3.aaxplugin", fixture="v3.2.0.0-x64.dll")

    def tearDown(self):
        shutil.rmtree(self.root)

    def put(self, bundle, relative, data=None, fixture=None):
        path = os.path.join(bundle, relative)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        if fixture:
            shutil.copyfile(os.path.join(FIXTURES, fixture), path)
        else:
            with open(path, "wb") as f:
                f.write(data)
        return path

    def pack(self, **bundles):
        args = [sys.executable, PACKER, "--out", self.out, "--checker", CHECKER]
        for name, path in bundles.items():
            args += ["--" + name, path]
        return subprocess.run(args, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)

    def test_good_bundles_pack_into_the_catalogue_layout_reproducibly(self):
        run = self.pack(vst3=self.vst3, clap=self.clap, aax=self.aax)
        self.assertEqual(run.returncode, 0, run.stderr)
        with zipfile.ZipFile(os.path.join(self.out, "vst3.zip")) as archive:
            self.assertEqual([(i.filename, i.compress_type, i.external_attr, i.date_time) for i in archive.infolist()], [
                ("Tavrin3.vst3\\Contents\\", zipfile.ZIP_STORED, 0x10, (2024, 1, 1, 0, 0, 0)),
                ("Tavrin3.vst3\\desktop.ini", zipfile.ZIP_DEFLATED, 0x20, (2024, 1, 1, 0, 0, 0)),
                ("Tavrin3.vst3\\Contents\\Resources\\moduleinfo.json", zipfile.ZIP_DEFLATED, 0x20, (2024, 1, 1, 0, 0, 0)),
                ("Tavrin3.vst3\\Contents\\x86_64-win\\Tavrin3.vst3", zipfile.ZIP_DEFLATED, 0x20, (2024, 1, 1, 0, 0, 0))])
        with zipfile.ZipFile(os.path.join(self.out, "clap.zip")) as archive:
            self.assertEqual(archive.namelist(), ["Tavrin3.clap"])
        first = {n: open(os.path.join(self.out, n), "rb").read() for n in os.listdir(self.out)}
        self.assertEqual(sorted(first), ["aax.zip", "clap.zip", "vst3.zip"])
        os.utime(os.path.join(self.vst3, "desktop.ini"), (0, 0))
        self.assertEqual(self.pack(vst3=self.vst3, clap=self.clap, aax=self.aax).returncode, 0)
        self.assertEqual(first, {n: open(os.path.join(self.out, n), "rb").read() for n in os.listdir(self.out)})
        # The build's check passes what the packer wrote.
        self.assertEqual(subprocess.run([CHECKER] + [os.path.join(self.out, n) for n in first]).returncode, 0)

    def test_a_format_left_out_keeps_its_archive(self):
        with open(os.path.join(self.out, "aax.zip"), "wb") as f:
            f.write(b"kept")
        self.assertEqual(self.pack(vst3=self.vst3).returncode, 0)
        self.assertEqual(sorted(os.listdir(self.out)), ["aax.zip", "vst3.zip"])
        self.assertEqual(open(os.path.join(self.out, "aax.zip"), "rb").read(), b"kept")

    def expect_refused(self, words, **bundles):
        with open(os.path.join(self.out, "vst3.zip"), "wb") as f:
            f.write(b"previous")
        run = self.pack(**bundles)
        self.assertNotEqual(run.returncode, 0, run.stdout)
        for word in words:
            self.assertIn(word, run.stderr)
        self.assertEqual(os.listdir(self.out), ["vst3.zip"])
        self.assertEqual(open(os.path.join(self.out, "vst3.zip"), "rb").read(), b"previous")

    def test_refusals(self):
        module = os.path.join("Contents", "x86_64-win", "Tavrin3.vst3")
        use = lambda fixture: lambda: self.put(self.vst3, module, fixture=fixture)
        cases = [
            ("old version", use("v3.1.9.0-x64.dll"),
             ["Tavrin3.vst3/Contents/x86_64-win/Tavrin3.vst3", "3.1.9.0", "NEEDS UPDATE"]),
            ("no version", use("no-version-x64.dll"),
             ["x86_64-win/Tavrin3.vst3", "no file version"]),
            ("32-bit module", use("v3.1.10.0-x86.dll"),
             ["x86_64-win/Tavrin3.vst3", "64-bit x86"]),
            ("not a PE image", lambda: self.put(self.vst3, module, b"MZ not really"), ["64-bit x86"]),
            ("missing module", lambda: os.remove(os.path.join(self.vst3, module)), ["x86_64-win/Tavrin3.vst3", "no module"]),
            ("module in the wrong case", lambda: os.rename(os.path.join(self.vst3, module),
                                                         os.path.join(self.vst3, "Contents", "x86_64-win", "tavrin3.vst3")), ["no module"]),
            ("link", lambda: os.symlink("/etc/passwd", os.path.join(self.vst3, "link.txt")), ["link.txt", "not a plain file"]),
            ("FIFO", lambda: os.mkfifo(os.path.join(self.vst3, "pipe")), ["pipe", "not a plain file"]),
            ("name Windows cannot hold", lambda: self.put(self.vst3, "Contents/a:b.txt", b"x"),
             ["a:b.txt", "character not allowed"]),
            ("name ending in a dot", lambda: self.put(self.vst3, "Contents/trailing.", b"x"), ["trailing.", "ends in a blank or a dot"]),
            ("name ending in a blank", lambda: self.put(self.vst3, "Contents/x /y", b"x"), ["x \\y", "ends in a blank or a dot"]),
            ("names equal but for case", lambda: self.put(self.vst3, "Desktop.INI", b"x"), ["given twice"]),
            ("names equal as Windows folds case", lambda: [self.put(self.vst3, n, b"x") for n in ("\u00c9", "\u00e9")],
             ["given twice"]),
            ("final sigma", lambda: [self.put(self.vst3, n, b"x") for n in ("\u03c3", "\u03c2")], ["given twice"]),
            ("device name", lambda: self.put(self.vst3, "Contents/nul.txt", b"x"), ["nul.txt", "device"]),
            ("device name with a superscript digit", lambda: self.put(self.vst3, "COM\u00b9.dll", b"x"), ["device"]),
            ("console device", lambda: self.put(self.vst3, "CONIN$", b"x"), ["CONIN$", "device"]),
            ("right-to-left override", lambda: self.put(self.vst3, "readme\u202etxt.exe", b"x"), ["text-direction"]),
            ("DEL", lambda: self.put(self.vst3, "a\x7f", b"x"), ["control"]),
            # 55 units of "C:\Program Files\Common Files\VST3\Tavrin3.vst3.ov-new\", where the run unpacks, and
            # 205 of the entry: one past MAX_PATH.
            ("path too long for Windows", lambda: self.put(self.vst3, "Contents/" + "d" * 100 + "/" + "f" * 82, b"x"),
             ["f" * 82, "longer than Windows allows"]),
            ("name not in UTF-8", lambda: self.put(self.vst3, os.fsdecode(b"Contents/\xff.txt"), b"x"),
             ["\\xff.txt", "not valid UTF-8"]),
            ("file of 4 GiB", lambda: os.truncate(self.put(self.vst3, "huge.bin", b""), 1 << 32), ["huge.bin", "4 GiB"]),
        ]
        for name, damage, words in cases:
            with self.subTest(name):
                self.setUp()
                damage()
                self.expect_refused(words, vst3=self.vst3, clap=self.clap)
                self.tearDown()
        self.setUp()

    def test_refused_bundles_by_name_and_kind(self):
        other = os.path.join(self.root, "Other.vst3")
        os.rename(self.vst3, other)
        self.expect_refused(["Other.vst3", "named Tavrin3.vst3"], vst3=other)
        as_file = self.put(os.path.join(self.root, "file"), "Tavrin3.vst3", b"x")
        self.expect_refused(["Tavrin3.vst3", "must be a folder"], vst3=as_file)
        os.remove(self.clap)
        os.makedirs(self.clap)
        self.expect_refused(["must be a plain file"], clap=self.clap)

    def test_the_build_check_fails_on_a_bad_archive(self):
        bad = os.path.join(self.root, "bad")
        os.makedirs(bad)
        with zipfile.ZipFile(os.path.join(bad, "vst3.zip"), "w") as archive:
            with open(os.path.join(FIXTURES, "v3.1.9.0-x64.dll"), "rb") as f:
                archive.writestr("Tavrin3.vst3\\Contents\\x86_64-win\\Tavrin3.vst3", f.read())
        with open(os.path.join(bad, "aax.zip"), "wb") as f:
            f.write(b"PK\x05\x06 truncated")
        cases = [("vst3.zip", ["NEEDS UPDATE"]), ("aax.zip", ["not an archive the installer reads"])]
        for name, archive, words in self.hostile_archives():
            os.makedirs(os.path.join(bad, name))
            os.rename(archive, os.path.join(bad, name, "vst3.zip"))
            cases.append((os.path.join(name, "vst3.zip"), words))
        for archive, words in cases:
            with self.subTest(archive):
                run = subprocess.run([CHECKER, os.path.join(bad, archive)], stderr=subprocess.PIPE, text=True)
                self.assertEqual(run.returncode, 1)
                for word in words:
                    self.assertIn(word, run.stderr)

    def hostile_archives(self):
        """(name, archive file, words of the refusal) for archives around a good module that no packer makes."""
        with open(os.path.join(FIXTURES, "v3.1.10.0-x64.dll"), "rb") as f:
            module = f.read()
        made = []

        def archive(name, words, extra):
            path = os.path.join(self.root, name + ".zip")
            with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as z:
                z.writestr("Tavrin3.vst3\\Contents\\x86_64-win\\Tavrin3.vst3", module)
                extra(z)
            made.append((name, path, words))
            return path

        archive("long name", ["longer than the 255"], lambda z: z.writestr("Tavrin3.vst3\\" + "n" * 256, b"x"))

        # 1 MiB of zeros, deflated once, and a directory of 1024 entries that all point at it: 1 GiB unpacked.
        bomb = archive("one stream many times", ["copy1.bin", "overlap"], lambda z: z.writestr("Tavrin3.vst3\\copy0.bin", bytes(1 << 20)))
        with open(bomb, "r+b") as f:
            data = f.read()
            end = data.rindex(b"PK\x05\x06")
            directory = struct.unpack("<I", data[end + 16:end + 20])[0]
            last = data.rindex(b"PK\x01\x02", 0, end)
            f.seek(end)
            for i in range(1, 1024):
                name = ("Tavrin3.vst3\\copy%d.bin" % i).encode()
                f.write(data[last:last + 28] + struct.pack("<H", len(name)) + data[last + 30:last + 46] + name)
            f.write(data[end:end + 8] + struct.pack("<HHII", 1025, 1025, f.tell() - directory, directory) + b"\0\0")
        self.assertLess(os.path.getsize(bomb), 300 << 10)

        # An entry that inflates to 64 MiB and records 1 KiB: reading stops just past what it records.
        longer = archive("longer than recorded", ["zeros.bin", "does not unpack to the 1024 bytes it records"],
                         lambda z: z.writestr("Tavrin3.vst3\\zeros.bin", bytes(64 << 20)))
        with open(longer, "r+b") as f:
            data = f.read()
            entry = data.rindex(b"PK\x01\x02")
            f.seek(entry + 24)
            f.write(struct.pack("<I", 1024))
        return made


if __name__ == "__main__":
    unittest.main()
