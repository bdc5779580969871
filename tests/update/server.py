#!/usr/bin/env python3
"""Loopback HTTP server for the update library's tests and benchmark, with fault injection.

    server.py start --root DIR --state DIR    serve DIR in the background on 127.0.0.1
    server.py stop --state DIR
    server.py serve --root DIR --state DIR    the same in the foreground

STATE receives `port` (the server), `refused` (a port bound but never listening, so connecting
to it is refused), `pid` and `log`. Only 127.0.0.1 is ever bound.

A path may begin with one fault prefix that changes how the rest is served:
    /fault/404/...       answer 404          /fault/500/...      answer 500
    /fault/short/...     announce the whole file, send half, close
    /fault/slow/...      the whole file in 8 KiB pieces, 5 ms apart
    /fault/stall/...     half the file, then silence for 20 s
    /fault/mute/...      silence for 20 s before any answer
    /fault/nolength/...  the whole file without Content-Length, ended by closing
    /fault/dies/...      the definition, news and database whole; any other file half, then close
                         (a mirror that goes down in the middle of an update)
/__md5sum/REL answers with md5sum's digest of ROOT/REL (so a Windows test can ask the host's md5sum).
"""
import argparse
import http.server
import os
import signal
import socket
import subprocess
import sys
import time


def make_handler(root, log):
    root = os.path.realpath(root)

    class Handler(http.server.BaseHTTPRequestHandler):
        protocol_version = "HTTP/1.1"

        def log_message(self, fmt, *args):
            log.write("%s %s\n" % (time.strftime("%H:%M:%S"), fmt % args))
            log.flush()

        def local(self, path):
            full = os.path.realpath(os.path.join(root, path.lstrip("/")))
            if full != root and not full.startswith(root + os.sep):
                return None
            return full if os.path.isfile(full) else None

        def answer(self, code, body=b""):
            self.send_response(code)
            self.send_header("Content-Length", str(len(body)))
            self.end_headers()
            self.wfile.write(body)

        def do_GET(self):
            path = self.path.split("?", 1)[0]
            fault = None
            if path.startswith("/fault/"):
                _, _, fault, path = path.split("/", 3) + [""] * max(0, 4 - len(path.split("/", 3)))
                path = "/" + path
            if path.startswith("/__md5sum/"):
                full = self.local(path[len("/__md5sum"):])
                if not full:
                    return self.answer(404)
                digest = subprocess.run(["md5sum", full], capture_output=True, check=True).stdout.split()[0]
                return self.answer(200, digest)
            if fault == "mute":
                time.sleep(20)
                self.close_connection = True
                return
            if fault in ("404", "500"):
                return self.answer(int(fault), b"fault injected")
            full = self.local(path)
            if not full:
                return self.answer(404, b"not found")
            size = os.path.getsize(full)
            with open(full, "rb") as f:
                self.send_response(200)
                self.send_header("Content-Type", "application/octet-stream")
                if fault == "nolength":
                    self.send_header("Connection", "close")
                    self.close_connection = True
                else:
                    self.send_header("Content-Length", str(size))
                self.end_headers()
                if fault == "dies" and "/program/" not in path and "/development/" not in path:
                    fault = "short"
                if fault in ("short", "stall"):
                    self.wfile.write(f.read(size // 2))
                    self.wfile.flush()
                    if fault == "stall":
                        time.sleep(20)
                    self.close_connection = True
                    self.connection.shutdown(socket.SHUT_RDWR)
                elif fault == "slow":
                    for block in iter(lambda: f.read(8192), b""):
                        self.wfile.write(block)
                        time.sleep(0.005)
                else:
                    self.connection.sendfile(f)

    return Handler


def serve(args):
    os.makedirs(args.state, exist_ok=True)
    log = open(os.path.join(args.state, "log"), "a")
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), make_handler(args.root, log))
    server.daemon_threads = True
    refused = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    refused.bind(("127.0.0.1", 0))  # held, never listened on: connections are refused
    with open(os.path.join(args.state, "refused"), "w") as f:
        f.write(str(refused.getsockname()[1]))
    with open(os.path.join(args.state, "pid"), "w") as f:
        f.write(str(os.getpid()))
    port_file = os.path.join(args.state, "port")
    with open(port_file + ".tmp", "w") as f:
        f.write(str(server.server_address[1]))
    os.replace(port_file + ".tmp", port_file)
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(0))
    try:
        server.serve_forever()
    finally:
        os.unlink(port_file)


def start(args):
    os.makedirs(args.state, exist_ok=True)
    stop(args)
    port_file = os.path.join(args.state, "port")
    out = open(os.path.join(args.state, "stderr"), "w")
    child = subprocess.Popen([sys.executable, os.path.abspath(__file__), "serve", "--root", args.root,
                              "--state", args.state], stdin=subprocess.DEVNULL, stdout=out, stderr=out,
                             start_new_session=True)
    for _ in range(100):
        if os.path.exists(port_file):
            print("serving %s on 127.0.0.1:%s" % (args.root, open(port_file).read()))
            return 0
        if child.poll() is not None:
            break
        time.sleep(0.05)
    print(open(os.path.join(args.state, "stderr")).read(), file=sys.stderr)
    return 1


def stop(args):
    pid_file = os.path.join(args.state, "pid")
    if os.path.exists(pid_file):
        try:
            os.kill(int(open(pid_file).read()), signal.SIGTERM)
        except (ProcessLookupError, ValueError):
            pass
        os.unlink(pid_file)
    return 0


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("command", choices=["start", "stop", "serve"])
    parser.add_argument("--root")
    parser.add_argument("--state", required=True)
    args = parser.parse_args()
    return {"start": start, "stop": stop, "serve": serve}[args.command](args) or 0


if __name__ == "__main__":
    sys.exit(main())
