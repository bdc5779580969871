#!/usr/bin/env python3
"""The release tool: what it publishes is what the updater accepts, and what it refuses leaves the
mirror as it was."""
import base64
import os
import shutil
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools"))
import release  # noqa: E402

DATABASE = "Guard,AV,MSoftware\\Guard,Version,1,Guard.exe,/update\n"
NEWS = "Tolva 1.2 is out.\n"


class Publish(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.keys = tempfile.mkdtemp()
        cls.key = os.path.join(cls.keys, "test.key")
        cls.pub = os.path.join(cls.keys, "test.pub")
        release.keygen(cls.key, cls.pub)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.keys)

    def setUp(self):
        self.top = tempfile.mkdtemp()
        self.build = os.path.join(self.top, "bin")
        self.server = os.path.join(self.top, "server")
        self.out = os.path.join(self.top, "www")
        files = {"Tolva.exe": b"notifier", "manager.exe": b"manager", "TolvaUpdater.exe": b"updater",
                 "reminders.dll": b"store", "update.dll": b"network", "lang/English.lng": b"texts",
                 "lang/German.lng": b"Texte", "EULA.txt": b"licence",
                 # Build leftovers that no installation holds.
                 "updater_tests.exe": b"test", "lang/notes.txt": b"x"}
        for name, data in files.items():
            self.write(os.path.join(self.build, name), data)
        self.write(os.path.join(self.server, "development", "database"), DATABASE.encode())
        self.write(os.path.join(self.server, "program", "news.txt"), NEWS.encode())

    def tearDown(self):
        shutil.rmtree(self.top)

    @staticmethod
    def write(path, data):
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(data)

    def publish(self, *extra):
        return release.main(["publish", "--build", self.build, "--version", "1.2.0", "--key", self.key,
                             "--out", self.out, "--server", self.server, *extra])

    def definition_lines(self):
        data = release.read_bytes(os.path.join(self.out, "program", "update.def"))
        self.assertTrue(data.endswith(b"\r\n"))
        return data.decode("ascii").split("\r\n")[:-1]

    def test_a_release_lists_every_file_with_its_digest_and_verifies(self):
        setup = os.path.join(self.top, "Tolva-setup.exe")
        self.write(setup, b"setup program")
        self.assertEqual(0, self.publish("--min", "1.0", "--remove", "/old.dll", "--folder", "/docs",
                                         "--setup", setup))
        lines = self.definition_lines()
        self.assertEqual("TOLVADEF 1 min=1.0", lines[0])
        self.assertEqual("1.2.0", lines[2])
        for line in lines:
            self.assertLessEqual(len(line) + 2, release.MAX_LINE)
        entries = lines[3:]
        self.assertEqual(["+d/docs", "+d/lang"], [e for e in entries if e.startswith("+d")])
        files = {e[2:].split(":")[0]: e.split(":")[1] for e in entries if e.startswith("+f")}
        self.assertEqual({"/EULA.txt", "/Tolva.exe", "/TolvaUpdater.exe", "/lang/English.lng", "/lang/German.lng",
                          "/manager.exe", "/reminders.dll", "/update.dll"}, set(files))
        for path, digest in files.items():
            published = os.path.join(self.out, path.lstrip("/"))
            self.assertEqual(release.md5_of(os.path.join(self.build, path.lstrip("/"))), digest)
            self.assertEqual(digest, release.md5_of(published), path)
        self.assertIn("-f/old.dll", entries)
        self.assertIn("+s/Tolva-setup.exe:" + release.md5_of(setup), entries)
        self.assertEqual(b"setup program", release.read_bytes(os.path.join(self.out, "Tolva-setup.exe")))
        release.verify(os.path.join(self.out, "program", "update.def"), self.pub)
        # The suite reads its texts as UTF-16LE with a byte-order mark and CR LF.
        news = release.read_bytes(os.path.join(self.out, "program", "news.txt"))
        self.assertEqual(b"\xff\xfe" + NEWS.replace("\n", "\r\n").encode("utf-16-le"), news)

    def test_the_database_and_the_news_carry_signatures_of_their_published_bytes(self):
        self.assertEqual(0, self.publish())
        for path in ("development/database", "program/news.txt"):
            published = os.path.join(self.out, path)
            signature = release.read_bytes(published + ".sig")
            self.assertRegex(signature, rb"^SIG [A-Za-z0-9+/]{86}==\r\n$")
            self.assertEqual(0, release.main(["verify", published, self.pub]))
            with open(published, "ab") as f:
                f.write(b"\0\0")
            with self.assertRaises(release.ReleaseError):
                release.verify_detached(published, self.pub)
        # The sign command writes the same kind of file for any other one.
        other = os.path.join(self.top, "notes.txt")
        self.write(other, b"anything")
        self.assertEqual(0, release.main(["sign", other, "--key", self.key]))
        release.verify_detached(other, self.pub)

    def test_any_change_after_signing_fails_verification(self):
        self.assertEqual(0, self.publish())
        path = os.path.join(self.out, "program", "update.def")
        good = release.read_bytes(path)
        for forged in (good.replace(b"\r\n1.2.0\r\n", b"\r\n1.2.1\r\n"), good.replace(b"+f/Tolva.exe:", b"+f/Tolvb.exe:"),
                       good + b"-f/Tolva.exe\r\n"):
            self.assertNotEqual(good, forged)
            with open(path, "wb") as f:
                f.write(forged)
            with self.assertRaises(release.ReleaseError):
                release.verify(path, self.pub)

    def test_what_the_updater_would_refuse_is_never_published(self):
        cases = [
            (["--version", "1.x"], None),
            (["--min", "1..0"], None),
            (["--remove", "/../Windows/x.dll"], None),
            (["--remove", "/lang/a/b.lng"], None),
            (["--folder", "/docs/.."], None),
            (["--remove", "/CON.txt"], None),
            (["--remove", "/" + "n" * 90 + ".dll"], None),  # a definition line past 96 bytes
            ([], ("development/database", b"Guard,AV,MSoftware\\Guard\n")),  # too few fields
            ([], ("development/database", b"Guard,XX,MSoftware\\Guard,Version,1,Guard.exe,/u\n")),
            ([], ("development/database", b"Guard,AV,HSoftware\\Guard,Version,1,Guard.exe,/u\n")),
            ([], ("development/database", b"Guard,AV,M,Software\\Guard,Version,..\\..\\cmd.exe,/c\n")),
            ([], ("development/database", b"Guard,AV,M,Software\\Guard,Version,C:\\x.exe,/c\n")),
            ([], ("development/database", b"Guard,AV,M,Software\\Guard,Version,x.exe\tx,/c\n")),
        ]
        for extra, server_file in cases:
            with self.subTest(extra=extra, server_file=server_file):
                shutil.rmtree(self.out, ignore_errors=True)
                self.write(os.path.join(self.server, "development", "database"), DATABASE.encode())
                if server_file:
                    self.write(os.path.join(self.server, server_file[0]), server_file[1])
                argv = ["publish", "--build", self.build, "--key", self.key, "--out", self.out,
                        "--server", self.server] + (extra if "--version" in extra else ["--version", "1.2.0"] + extra)
                self.assertEqual(1, release.main(argv))
                self.assertFalse(os.path.exists(self.out), "nothing written to the mirror")

    def test_a_mirror_keeps_its_release_when_publishing_fails(self):
        self.assertEqual(0, self.publish())
        before = release.read_bytes(os.path.join(self.out, "program", "update.def"))
        self.write(os.path.join(self.server, "development", "database"), b"broken\n")
        self.assertEqual(1, self.publish())
        self.assertEqual(before, release.read_bytes(os.path.join(self.out, "program", "update.def")))
        self.assertEqual([], [n for n in os.listdir(os.path.join(self.out, "program")) if n.startswith(".part-")])


class Signatures(unittest.TestCase):
    def test_short_integers_survive_the_der_round_trip(self):
        # About one signature in 128 has an r or s below 2^248, which DER writes in fewer bytes.
        for raw in (bytes(32) + b"\x01" * 32, b"\x00\x7f" + b"\x11" * 30 + b"\x80" + b"\x22" * 31,
                    b"\xff" * 64, b"\x00" * 31 + b"\x05" + b"\x00" * 20 + b"\x09" * 12):
            self.assertEqual(raw, release.der_to_raw(release.raw_to_der(raw)))

    def test_the_public_key_header_holds_the_64_point_bytes(self):
        with tempfile.TemporaryDirectory() as scratch:
            key, pub, inc = (os.path.join(scratch, n) for n in ("k.key", "k.pub", "key.inc"))
            release.keygen(key, pub)
            release.pubkey_inc(pub, inc)
            text = release.read_text(inc)
            self.assertEqual(64, text.count("0x"))
            self.assertEqual(0o600, os.stat(key).st_mode & 0o777, "the private key is the owner's alone")


if __name__ == "__main__":
    unittest.main()
