#!/usr/bin/env python3
"""docs/examples/haproxy.cfg: valid as shipped, and its health check works.

The shipped file must pass `haproxy -c`. Then a copy with local addresses
(one real vex-appserver, one closed port) runs for real: the ping check
must mark the server up and the closed port down, and a ping through the
frontend must come back. Exits 77 (skipped) without haproxy.
usage: haproxy_example.py CONFIG BIN_DIR
"""
import os
import re
import shutil
import socket
import subprocess
import sys
import tempfile
import time

SKIP = 77
PING = b'{"jsonrpc":"2.0","id":1,"method":"system.ping"}\n'


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def local_copy(text, front, up, down, stats):
    """The example with its global section, addresses and check pace made local."""
    text = re.sub(r"(?ms)^global\n.*?(?=^\S)", "global\n    stats socket %s\n\n" % stats, text)
    text = re.sub(r"(?m)^(\s*bind)\s+\S+", r"\1 127.0.0.1:%d" % front, text)
    servers = iter([up, down])
    lines = []
    for line in text.splitlines():
        match = re.match(r"\s*server\s+(\S+)\s+\S+(.*)", line)
        if match:
            port = next(servers, None)
            if port is None:
                continue
            line = "    server %s 127.0.0.1:%d%s" % (match.group(1), port, match.group(2))
        lines.append(line.replace("inter 2s", "inter 100ms"))
    return "\n".join(lines) + "\n"


def states(stats):
    with socket.socket(socket.AF_UNIX) as s:
        s.settimeout(5)
        s.connect(stats)
        s.sendall(b"show stat\n")
        data = b""
        while chunk := s.recv(1 << 16):
            data += chunk
    rows = data.decode().splitlines()
    header = rows[0].lstrip("# ").split(",")
    result = {}
    for row in rows[1:]:
        fields = dict(zip(header, row.split(",")))
        if fields.get("svname") not in ("FRONTEND", "BACKEND", None):
            # check_status: L7OK once a check has really seen the reply.
            result[fields["svname"]] = (fields["status"].split()[0],
                                        fields["check_status"].lstrip("* "))
    return result


def main():
    config, bin_dir = sys.argv[1], sys.argv[2]
    haproxy = shutil.which("haproxy") or shutil.which("haproxy", path="/usr/sbin")
    if not haproxy:
        print("SKIP: haproxy is not installed")
        return SKIP
    check = subprocess.run([haproxy, "-c", "-f", config], capture_output=True, text=True)
    if check.returncode != 0:
        print("FAIL: haproxy -c -f %s\n%s%s" % (config, check.stdout, check.stderr))
        return 1
    work = tempfile.mkdtemp(prefix="vex-haproxy-")
    procs = []
    try:
        db = "sqlite:" + os.path.join(work, "vex.db")
        subprocess.run([os.path.join(bin_dir, "vex-db"), "init", "--database", db],
                       check=True, stdout=subprocess.DEVNULL)
        server = subprocess.Popen([os.path.join(bin_dir, "vex-appserver"), "--database", db,
                                   "--listen", "127.0.0.1:0", "--threads", "1"],
                                  stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                                  text=True)
        procs.append(server)
        ready = re.search(r"pronto em [0-9.]+:(\d+) ", server.stdout.readline())
        if not ready:
            print("FAIL: vex-appserver did not start")
            return 1
        front, stats = free_port(), os.path.join(work, "stats.sock")
        with open(config) as f:
            text = local_copy(f.read(), front, int(ready.group(1)), free_port(), stats)
        local = os.path.join(work, "haproxy.cfg")
        with open(local, "w") as f:
            f.write(text)
        procs.append(subprocess.Popen([haproxy, "-f", local, "-db"],
                                      stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))
        names = re.findall(r"(?m)^\s*server\s+(\S+)", text)
        want = {names[0]: ("UP", "L7OK"), names[1]: ("DOWN", "L4CON")}
        seen = {}
        deadline = time.monotonic() + 10
        while time.monotonic() < deadline:
            try:
                seen = states(stats)
            except OSError:
                seen = {}
            if seen == want:
                break
            time.sleep(0.1)
        if seen != want:
            print("FAIL: the ping check gave %r, expected %r" % (seen, want))
            return 1
        with socket.create_connection(("127.0.0.1", front), 5) as s:
            s.sendall(PING)
            reply = s.recv(4096)
        if b'"result":"pong"' not in reply:
            print("FAIL: system.ping through the balancer: %r" % reply)
            return 1
        print("haproxy example: valid; ping check %r" % seen)
        return 0
    finally:
        for p in procs:
            p.terminate()
            try:
                p.wait(10)
            except subprocess.TimeoutExpired:
                p.kill()
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
