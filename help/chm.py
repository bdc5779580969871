#!/usr/bin/env python3
"""Builds the help file with chmcmd and proves that every page made it in.

chmcmd only warns about a link to a page that does not exist and still succeeds, and it leaves
out, without a word, a page that neither the project nor any link names. Either would ship a
help file with holes in it, so here both fail the build: the compiled file is read back through
its own directory and compared with the pages of the source folder, and so are the entries of
the contents and the index.

  chm.py build --chmcmd PROGRAM --stage FOLDER --out FILE SOURCE...
  chm.py list FILE
"""
import argparse
import os
import re
import shutil
import struct
import subprocess
import sys
from html.parser import HTMLParser


class ChmError(Exception):
    pass


def _encint(data, pos, end):
    """A directory number: 7 bits a byte, most significant first, high bit set on all but the last."""
    value = 0
    while True:
        if pos >= end:
            raise ChmError("directory entry runs past its chunk")
        byte = data[pos]
        pos += 1
        value = (value << 7) | (byte & 0x7F)
        if not byte & 0x80:
            return value, pos


def _u32(data, pos):
    return struct.unpack_from("<I", data, pos)[0]


def _i32(data, pos):
    return struct.unpack_from("<i", data, pos)[0]


def list_names(data):
    """The names of every object stored in a compiled help file, in directory order."""
    if len(data) < 0x58 or data[:4] != b"ITSF":
        raise ChmError("not a compiled help file (no ITSF header)")
    dir_offset, dir_length = struct.unpack_from("<QQ", data, 0x48)
    if dir_offset + 0x54 > len(data) or dir_offset + dir_length > len(data):
        raise ChmError("directory lies outside the file")
    if data[dir_offset:dir_offset + 4] != b"ITSP":
        raise ChmError("no ITSP directory header")
    header_length = _u32(data, dir_offset + 0x08)
    chunk_size = _u32(data, dir_offset + 0x10)
    first = _i32(data, dir_offset + 0x20)
    chunks = _u32(data, dir_offset + 0x2C)
    if chunk_size < 0x20 or header_length < 0x54:
        raise ChmError("implausible directory header")
    base = dir_offset + header_length
    names, seen, chunk = [], set(), first
    while chunk != -1:
        if chunk < 0 or chunk >= chunks or chunk in seen:
            raise ChmError("broken chain of directory chunks at %d" % chunk)
        seen.add(chunk)
        start = base + chunk * chunk_size
        if start + chunk_size > len(data) or data[start:start + 4] != b"PMGL":
            raise ChmError("directory chunk %d is not a listing chunk" % chunk)
        free = _u32(data, start + 4)
        end = start + chunk_size - free
        if free > chunk_size - 0x14:
            raise ChmError("directory chunk %d has an impossible free space" % chunk)
        pos = start + 0x14
        while pos < end:
            length, pos = _encint(data, pos, end)
            if pos + length > end:
                raise ChmError("name runs past directory chunk %d" % chunk)
            names.append(data[pos:pos + length].decode("utf-8"))
            pos += length
            for _ in range(3):  # section, offset, length
                _, pos = _encint(data, pos, end)
        chunk = _i32(data, start + 0x10)
    return names


class _SitemapLocals(HTMLParser):
    """The pages that the entries of a contents or index file point to."""

    def __init__(self):
        super().__init__()
        self.locals = []

    def handle_starttag(self, tag, attrs):
        a = dict(attrs)
        if tag == "param" and (a.get("name") or "").lower() == "local" and a.get("value"):
            self.locals.append(a["value"])


def _sitemap_pages(path):
    parser = _SitemapLocals()
    with open(path, encoding="windows-1252") as f:
        parser.feed(f.read())
    return [re.split(r"[#?]", local, maxsplit=1)[0] for local in parser.locals]


def _project_option(hhp, key):
    with open(hhp, encoding="windows-1252") as f:
        for line in f:
            name, sep, value = line.partition("=")
            if sep and name.strip().lower() == key.lower():
                return value.strip()
    raise ChmError("%s has no '%s' option" % (hhp, key))


def _compile(chmcmd, stage, project):
    run = subprocess.run([chmcmd, os.path.basename(project)], cwd=stage, stdout=subprocess.PIPE,
                         stderr=subprocess.STDOUT, text=True, errors="replace")
    complaints = [l for l in run.stdout.splitlines() if re.match(r"\s*(warning|error|fatal)", l, re.I)]
    if run.returncode != 0 or complaints:
        sys.stdout.write(run.stdout)
        sys.stdout.flush()
        raise ChmError("chmcmd failed" if run.returncode else "chmcmd complained (see above)")


def build(chmcmd, stage, out, sources):
    projects = [s for s in sources if s.lower().endswith(".hhp")]
    if len(projects) != 1:
        raise ChmError("exactly one .hhp project is needed among the sources")
    shutil.rmtree(stage, ignore_errors=True)
    os.makedirs(stage)
    for source in sources:
        shutil.copy2(source, stage)
    project = os.path.join(stage, os.path.basename(projects[0]))
    _compile(chmcmd, stage, project)

    compiled = os.path.join(stage, _project_option(project, "Compiled file"))
    with open(compiled, "rb") as f:
        stored = {name.lower() for name in list_names(f.read())}
    pages = sorted(os.path.basename(s) for s in sources if s.lower().endswith((".html", ".htm")))
    missing = [p for p in pages if "/" + p.lower() not in stored]
    for option in ("Contents file", "Index file"):
        sitemap = os.path.join(stage, _project_option(project, option))
        missing += ["%s (named in %s)" % (p, os.path.basename(sitemap))
                    for p in _sitemap_pages(sitemap) if "/" + p.lower() not in stored]
    if missing:
        raise ChmError("missing from %s: %s" % (os.path.basename(compiled), ", ".join(missing)))

    # Into place only when whole and checked, so a failed build never leaves a help file behind.
    partial = out + ".partial"
    shutil.copyfile(compiled, partial)
    os.replace(partial, out)
    print("%s: %d pages, all present" % (out, len(pages)))


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    commands = parser.add_subparsers(dest="command", required=True)
    b = commands.add_parser("build")
    b.add_argument("--chmcmd", required=True)
    b.add_argument("--stage", required=True)
    b.add_argument("--out", required=True)
    b.add_argument("sources", nargs="+")
    l = commands.add_parser("list")
    l.add_argument("file")
    args = parser.parse_args(argv)
    try:
        if args.command == "build":
            build(args.chmcmd, args.stage, args.out, args.sources)
        else:
            with open(args.file, "rb") as f:
                for name in list_names(f.read()):
                    print(name)
    except (ChmError, OSError, UnicodeDecodeError, struct.error) as e:
        print("chm.py: %s" % e, file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
