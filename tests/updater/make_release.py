#!/usr/bin/env python3
"""Makes the updater's end-to-end trees from the build's own programs: an installation of release
1.0.0, and release 1.1.0 published with tools/release.py into the loopback server's tree.

    make_release.py --bin BUILD/bin --out DIR --www WWW --key TEST.key
DIR/install       what the test copies into an installation folder
WWW/release       release 1.1.0: manager.exe, reminders.dll and English.lng changed, legacy.txt removed
WWW/selfupdate    release 1.1.0 of the updater and the update library (DIR/build-self)
WWW/release-tampered, WWW/release-forged   release with one file changed on the mirror after
                  publishing, and with its definition changed after signing
WWW/langonly      release 1.1.0 of English.lng alone (DIR/build-lang)
WWW/setup         release 2.0.0 for installations of 1.1.0 or later, with a stand-in setup program
WWW/setup-real    the same with the build's own Tolva-setup.exe (when the build has one)
WWW/setup-tampered   the same with the setup program changed on the mirror
"""
import argparse
import os
import shutil
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools"))
import release  # noqa: E402

FILES = ["Tolva.exe", "manager.exe", "TolvaUpdater.exe", "reminders.dll", "update.dll", "EULA.txt",
         "lang/English.lng"]
CHANGED = {"manager.exe": b"\0manager 1.1.0", "reminders.dll": b"\0reminders 1.1.0",
           "lang/English.lng": "fff0=1.1.0\r\n".encode("utf-16-le")}


def copy(bin_dir, folder):
    shutil.rmtree(folder, ignore_errors=True)
    for name in FILES:
        target = os.path.join(folder, name)
        os.makedirs(os.path.dirname(target), exist_ok=True)
        shutil.copyfile(os.path.join(bin_dir, name), target)


def main():
    parser = argparse.ArgumentParser()
    for option in ("--bin", "--out", "--www", "--key"):
        parser.add_argument(option, required=True)
    args = parser.parse_args()
    install = os.path.join(args.out, "install")
    copy(args.bin, install)
    with open(os.path.join(install, "legacy.txt"), "wb") as f:
        f.write(b"left over from 1.0\n")
    build = os.path.join(args.out, "build-1.1")
    copy(args.bin, build)
    # Bytes after the end of a program or library change its digest and nothing else: it still loads.
    for name, tail in CHANGED.items():
        with open(os.path.join(build, name), "ab") as f:
            f.write(tail)
    self_build = os.path.join(args.out, "build-self")
    copy(args.bin, self_build)
    for name, tail in {"TolvaUpdater.exe": b"\0updater 1.1.0", "update.dll": b"\0update 1.1.0"}.items():
        with open(os.path.join(self_build, name), "ab") as f:
            f.write(tail)
    # Only a language file: nothing the manager holds, so it can start this update and watch it.
    lang_build = os.path.join(args.out, "build-lang")
    copy(args.bin, lang_build)
    with open(os.path.join(lang_build, "lang", "English.lng"), "ab") as f:
        f.write(CHANGED["lang/English.lng"])
    setup = ["--min", "1.1.0", "--setup", os.path.join(args.bin, "fake_setup.exe")]
    for name, folder, version, extra in (("release", build, "1.1.0", ["--remove", "/legacy.txt", "--folder", "/docs"]),
                                         ("selfupdate", self_build, "1.1.0", []),
                                         ("langonly", lang_build, "1.1.0", []),
                                         ("setup", build, "2.0.0", setup)):
        www = os.path.join(args.www, name)
        shutil.rmtree(www, ignore_errors=True)
        if release.main(["publish", "--build", folder, "--version", version, "--key", args.key, "--out", www,
                         "--include", "*.exe", "--include", "*.dll", "--include", "EULA.txt",
                         "--include", "lang/*.lng"] + extra):
            return 1
    # The real setup program of this build, when the build has one: a re-install from the mirror.
    real_setup = os.path.join(args.bin, "..", "setup", "Tolva-setup.exe")
    if os.path.isfile(real_setup):
        www = os.path.join(args.www, "setup-real")
        shutil.rmtree(www, ignore_errors=True)
        if release.main(["publish", "--build", build, "--version", "2.0.0", "--key", args.key, "--out", www,
                         "--include", "*.exe", "--include", "*.dll", "--include", "lang/*.lng",
                         "--min", "1.1.0", "--setup", real_setup]):
            return 1
    published = os.path.join(args.www, "release")
    for name, source in (("release-tampered", published), ("release-forged", published),
                         ("setup-tampered", os.path.join(args.www, "setup"))):
        shutil.rmtree(os.path.join(args.www, name), ignore_errors=True)
        shutil.copytree(source, os.path.join(args.www, name))
    # Same size, other bytes: only the digest can tell.
    for tampered in ("release-tampered/manager.exe", "setup-tampered/Tolva-setup.exe"):
        path = os.path.join(args.www, tampered)
        data = bytearray(open(path, "rb").read())
        data[len(data) // 2] ^= 0xFF
        open(path, "wb").write(bytes(data))
    definition = os.path.join(args.www, "release-forged", "program", "update.def")
    text = open(definition, "rb").read()
    open(definition, "wb").write(text.replace(b"\r\n+f/manager.exe:", b"\r\n+f/Manager.exe:", 1))
    return 0

if __name__ == "__main__":
    sys.exit(main())
