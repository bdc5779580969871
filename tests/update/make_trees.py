#!/usr/bin/env python3
"""Builds the update trees the update library's tests serve: one installation image and one
published tree per answer that checkUpdates can give, published with tools/release.py and the
build's throwaway key, plus hand-made definitions that a careful release tool would refuse.

    make_trees.py --out DIR --key TEST.key
DIR/install  what the tests copy into an installation folder (version 1.0.0)
DIR/www/NAME one mirror's tree per case, served below /NAME
DIR/www/signing/CASE  a news file with a good, bad or missing detached signature
"""
import argparse
import base64
import os
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools"))
import release  # noqa: E402

INSTALLED = {
    "Tolva.exe": b"Tolva notifier 1.0.0\n" * 300,
    "manager.exe": b"manager 1.0.0\n" * 200,
    "TolvaUpdater.exe": b"updater 1.0.0\n" * 200,
    "update.dll": b"update library 1.0.0\n" * 100,
    "reminders.dll": b"reminders 1.0.0\n" * 100,
    "lang/English.lng": "English texts 1.0.0\n".encode("utf-16-le"),
}


def write_tree(folder, files):
    shutil.rmtree(folder, ignore_errors=True)
    for name, data in files.items():
        path = os.path.join(folder, name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(data)


def publish(out, name, files, version, key, minimum=None, remove=None, setup=None):
    build = os.path.join(out, "builds", name)
    write_tree(build, files)
    www = os.path.join(out, "www", name)
    shutil.rmtree(www, ignore_errors=True)
    argv = ["publish", "--build", build, "--version", version, "--key", key, "--out", www]
    if minimum:
        argv += ["--min", minimum]
    for path in remove or []:
        argv += ["--remove", path]
    if setup is not None:
        argv += ["--setup", os.path.join(out, "builds", name + "-setup.exe")]
        with open(argv[-1], "wb") as f:
            f.write(setup)
    if release.main(argv):
        raise SystemExit("publishing %s failed" % name)
    return www


def changed(**edits):
    files = dict(INSTALLED)
    for name, data in edits.items():
        files[name.replace("__", "/").replace("_exe", ".exe").replace("_dll", ".dll").replace("_lng", ".lng")] = data
    return files


def sign_raw(text, key):
    """Signs arbitrary definition text as the release tool would, with no checks of its own."""
    lines = text.split("\r\n")
    signed = (lines[0] + "\r\n" + "\r\n".join(lines[1:])).encode()
    der = release.openssl("dgst", "-sha256", "-sign", key, data=signed)
    return (lines[0] + "\r\nSIG " + base64.b64encode(release.der_to_raw(der)).decode() + "\r\n" +
            "\r\n".join(lines[1:])).encode()


def hostile(out, name, body, key, header="TOLVADEF 1 min=0"):
    path = os.path.join(out, "www", name, "program", "update.def")
    os.makedirs(os.path.dirname(path), exist_ok=True)
    data = body if isinstance(body, bytes) else sign_raw(header + "\r\n" + body, key)
    with open(path, "wb") as f:
        f.write(data)


def signing_cases(out, key, other_key):
    """One folder per way a signed file (the news, the database) can arrive: www/signing/CASE/news.txt."""
    news = b"\xff\xfe" + "Signed news\r\n".encode("utf-16-le")
    good = release.detached_signature(news, key)
    cases = {
        "good": (news, good),
        "bare": (news, good[:-2]),  # no CR LF after the signature: still one
        "unsigned": (news, None),
        "tampered": (news.replace(b"S\0", b"Z\0"), good),
        "otherkey": (news, release.detached_signature(news, other_key)),
        "garbage": (news, os.urandom(100)),
        "zeros": (news, b"SIG " + base64.b64encode(bytes(64)) + b"\r\n"),
        "short": (news, good[:40]),
        "trailing": (news, good + b"SIG x\r\n"),
        "huge": (news, good + b"A" * 5000),
    }
    for name, (body, signature) in cases.items():
        files = {"news.txt": body}
        if signature is not None:
            files["news.txt.sig"] = signature
        write_tree(os.path.join(out, "www", "signing", name), files)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--out", required=True)
    parser.add_argument("--key", required=True)
    args = parser.parse_args()
    out, key = os.path.abspath(args.out), args.key
    shutil.rmtree(os.path.join(out, "www"), ignore_errors=True)
    write_tree(os.path.join(out, "install"), INSTALLED)

    publish(out, "same", INSTALLED, "1.0.0", key)
    app = publish(out, "app", changed(Tolva_exe=b"Tolva notifier 1.1.0\n" * 300,
                                      lang__English_lng="English 1.1.0\n".encode("utf-16-le")), "1.1.0", key)
    publish(out, "updater", changed(TolvaUpdater_exe=b"updater 1.1.0\n" * 200), "1.1.0", key)
    publish(out, "library", changed(update_dll=b"update library 1.1.0\n" * 100), "1.1.0", key)
    publish(out, "reinstall", changed(Tolva_exe=b"Tolva notifier 2.0.0\n"), "2.0.0", key, minimum="2.0",
            setup=b"setup program 2.0.0\n" * 50)
    publish(out, "rollback", changed(Tolva_exe=b"Tolva notifier 0.9.0\n"), "0.9.0", key)
    publish(out, "remove", INSTALLED, "1.0.1", key, remove=["/legacy.dll"])

    definition = open(os.path.join(app, "program", "update.def"), "rb").read()
    hostile(out, "tampered", definition.replace(b"\r\n1.1.0\r\n", b"\r\n1.1.9\r\n"), key)
    hostile(out, "truncated", definition[:-1], key)
    hostile(out, "garbage", os.urandom(3000), key)
    hostile(out, "huge", definition + b"-f/x.txt\r\n" * 8000, key)
    with tempfile.TemporaryDirectory() as scratch:
        other = os.path.join(scratch, "other.key")
        release.keygen(other, os.path.join(scratch, "other.pub"))
        hostile(out, "otherkey", "1.1.0\r\n+f/Tolva.exe:%s\r\n" % ("0" * 32), other)
        signing_cases(out, key, other)
    digest = "0123456789abcdef0123456789ABCDEF"
    for name, entry in [("dotdot", "+f/../evil.exe:" + digest), ("dotdot2", "-d/lang/.."),
                        ("backslash", "+f/lang\\x.lng:" + digest), ("colon", "-f/Tolva.exe:stream"),
                        ("drive", "-d/C:/Windows"),
                        ("drivefile", "+f/C:/evil.exe:" + digest), ("root", "-d/"),
                        ("device", "+f/CON.txt:" + digest), ("deep", "+f/a/b/c.exe:" + digest),
                        ("shortdigest", "+f/Tolva.exe:0123"), ("unknown", "*x/Tolva.exe"),
                        ("overlong", "+f/" + "n" * 60 + ".exe:" + digest),
                        ("setupdeep", "+s/lang/setup.exe:" + digest), ("setupbare", "+s/Tolva-setup.exe"),
                        ("setuptwice", "+s/a.exe:%s\r\n+s/b.exe:%s" % (digest, digest))]:
        hostile(out, name, "1.1.0\r\n" + entry + "\r\n", key)
    hostile(out, "badversion", "1.x\r\n+f/Tolva.exe:%s\r\n" % digest, key)
    hostile(out, "hugeversion", "1.99999999999\r\n+f/Tolva.exe:%s\r\n" % digest, key)
    hostile(out, "badmin", "1.1.0\r\n+f/Tolva.exe:%s\r\n" % digest, key, header="TOLVADEF 1 min=-1")
    return 0


if __name__ == "__main__":
    sys.exit(main())
