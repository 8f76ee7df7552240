#!/usr/bin/env python3
"""docs/examples/haproxy.cfg: valid as shipped, and its health check works.

The shipped file must pass `haproxy -c` once its CA file exists. Then a copy
with local addresses runs for real against a TLS vex-appserver with a
certificate of that CA, one with another CA's and a closed port, each
requiring the PROXY header from the balancer: the TLS ping check must mark
only the first up, and a ping through the frontend, TLS end to end, must
come back. Exits 77 (skipped) without haproxy.
usage: haproxy_example.py CONFIG BIN_DIR
"""
import os
import re
import shutil
import socket
import ssl
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "pylib"))
from testca import authority  # noqa: E402

SKIP = 77
PING = b'{"jsonrpc":"2.0","id":1,"method":"system.ping"}\n'


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def with_ca_file(text, ca_file):
    return re.sub(r"ca-file \S+", "ca-file " + ca_file, text)


def start_server(bin_dir, db, cert, key, procs):
    server = subprocess.Popen([os.path.join(bin_dir, "vex-appserver"), "--database", db,
                               "--listen", "127.0.0.1:0", "--threads", "1",
                               "--tls-cert", cert, "--tls-key", key,
                               "--proxy-protocol", "127.0.0.1"],
                              stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    procs.append(server)
    ready = re.search(r"pronto em [0-9.]+:(\d+) ", server.stdout.readline())
    if not ready:
        raise RuntimeError("vex-appserver did not start")
    return int(ready.group(1))


def local_copy(text, front, ports, stats):
    """The example with its global section, addresses and check pace made local."""
    text = re.sub(r"(?ms)^global\n.*?(?=^\S)", "global\n    stats socket %s\n\n" % stats, text)
    text = re.sub(r"(?m)^(\s*bind)\s+\S+", r"\1 127.0.0.1:%d" % front, text)
    servers = iter(ports)
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


def wait_states(stats, want):
    seen = {}
    deadline = time.monotonic() + 10
    while time.monotonic() < deadline:
        try:
            seen = states(stats)
        except OSError:
            seen = {}
        if want(seen):
            break
        time.sleep(0.1)
    return seen


def ping_through(front, ca_file):
    context = ssl.create_default_context(cafile=ca_file)
    with socket.create_connection(("127.0.0.1", front), 5) as raw:
        with context.wrap_socket(raw, server_hostname="127.0.0.1") as s:
            s.sendall(PING)
            return s.recv(4096)


def run(config, bin_dir, haproxy, work, procs):
    ours, other = authority(work, "nossa"), authority(work, "outra")
    with open(config) as f:
        shipped = with_ca_file(f.read(), ours[0])
    copy = os.path.join(work, "shipped.cfg")
    with open(copy, "w") as f:
        f.write(shipped)
    check = subprocess.run([haproxy, "-c", "-f", copy], capture_output=True, text=True)
    if check.returncode != 0:
        print("FAIL: haproxy -c -f %s\n%s%s" % (config, check.stdout, check.stderr))
        return 1
    db = "sqlite:" + os.path.join(work, "vex.db")
    subprocess.run([os.path.join(bin_dir, "vex-db"), "init", "--database", db],
                   check=True, stdout=subprocess.DEVNULL)
    ports = [start_server(bin_dir, db, ours[1], ours[2], procs),
             start_server(bin_dir, db, other[1], other[2], procs), free_port()]
    front, stats = free_port(), os.path.join(work, "stats.sock")
    text = local_copy(shipped, front, ports, stats)
    local = os.path.join(work, "haproxy.cfg")
    with open(local, "w") as f:
        f.write(text)
    procs.append(subprocess.Popen([haproxy, "-f", local, "-db"],
                                  stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))
    names = re.findall(r"(?m)^\s*server\s+(\S+)", text)

    # L7OK once a check has really seen the reply; L6: the TLS check
    # refused the other CA's certificate; L4CON: nothing listens.
    def want(seen):
        return (len(seen) == 3 and seen.get(names[0]) == ("UP", "L7OK")
                and seen[names[1]][0] == "DOWN" and seen[names[1]][1].startswith("L6")
                and seen[names[2]] == ("DOWN", "L4CON"))

    seen = wait_states(stats, want)
    if not want(seen):
        print("FAIL: the TLS ping check gave %r" % seen)
        return 1
    reply = ping_through(front, ours[0])
    if b'"result":"pong"' not in reply:
        print("FAIL: system.ping through the balancer: %r" % reply)
        return 1
    print("haproxy example: valid; TLS ping check %r" % seen)
    return 0


def main():
    config, bin_dir = sys.argv[1], sys.argv[2]
    haproxy = shutil.which("haproxy") or shutil.which("haproxy", path="/usr/sbin")
    if not haproxy:
        print("SKIP: haproxy is not installed")
        return SKIP
    work = tempfile.mkdtemp(prefix="vex-haproxy-")
    procs = []
    try:
        return run(config, bin_dir, haproxy, work, procs)
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
