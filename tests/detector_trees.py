#!/usr/bin/env python3
"""The program databases the detector's tests download, one mirror tree per case:

    detector_trees.py --out WWW --key TEST.key
WWW/signed    the database with its signature, as tools/release.py publishes it
WWW/unsigned  the same database without a signature
WWW/forged    a database that turns a program's updater into another command, beside the
              signature of the real one
"""
import argparse
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path[:0] = [os.path.join(HERE, "..", "tools"), os.path.join(HERE, "update")]
import release  # noqa: E402
from make_trees import write_tree  # noqa: E402

DATABASE = ("Shield Suite,SS,U,Software\\TolvaDetect\\Suite,Dir,update.exe,/silent\r\n"
            "Tune Tool,OT,U,Software\\TolvaDetect\\Tune,Dir, , \r\n"
            "Old Wall,FW,M,Software\\TolvaDetect\\Old32,Dir,fw.exe,/u /q\r\n"
            "Not Here,AM,M,Software\\TolvaDetect\\None,Dir,x.exe,/x\r\n")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--out", required=True)
    parser.add_argument("--key", required=True)
    args = parser.parse_args()
    real = b"\xff\xfe" + DATABASE.encode("utf-16-le")
    forged = b"\xff\xfe" + DATABASE.replace("update.exe,/silent", "update.exe,/silent & calc").encode("utf-16-le")
    signature = release.detached_signature(real, args.key)
    for case, body, sig in (("signed", real, signature), ("unsigned", real, None), ("forged", forged, signature)):
        files = {"development/database": body}
        if sig:
            files["development/database.sig"] = sig
        write_tree(os.path.join(args.out, case), files)
    return 0


if __name__ == "__main__":
    sys.exit(main())
