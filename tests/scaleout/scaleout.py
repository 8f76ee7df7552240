#!/usr/bin/env python3
"""Three vex-appserver instances over one PostgreSQL database behind HAProxy.

Clients call through the balancer while one instance is killed. Every call
must succeed: at once, after the client's one retry on a connection that
broke before any reply byte, or, having failed with that clear error, when
called again. Each reply must equal a direct server's, and the ping health
check must take the killed instance out.
Exits 77 (skipped) without haproxy or VEX_TEST_PG_URL.
"""
import json
import os
import re
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import threading
import time

SKIP = 77
BIN = sys.argv[1] if len(sys.argv) > 1 else "build/bin"
CLIENTS = 6
RUN_S = 6.0
KILL_AT_S = 2.0
IO_TIMEOUT_S = 5.0
PREFIX = "VEX00300.rdmAcomPOL."
PING = b'{"jsonrpc":"2.0","id":1,"method":"system.ping"}\n'


class Broken(Exception):
    """The connection ended; before_reply tells whether any byte came back."""

    def __init__(self, before_reply):
        super().__init__("conexão interrompida "
                         + ("antes da resposta" if before_reply else "durante a resposta"))
        self.before_reply = before_reply


class Client:
    def __init__(self, port):
        self.port = port
        self.sock = None
        self.next_id = 1

    def close(self):
        if self.sock:
            self.sock.close()
            self.sock = None

    def exchange(self, method, params):
        if not self.sock:
            self.sock = socket.create_connection(("127.0.0.1", self.port), IO_TIMEOUT_S)
        request = {"jsonrpc": "2.0", "id": self.next_id, "method": method, "params": params}
        self.next_id += 1
        try:
            self.sock.sendall(json.dumps(request).encode() + b"\n")
        except OSError:
            raise Broken(True)
        data = b""
        while not data.endswith(b"\n"):
            try:
                chunk = self.sock.recv(1 << 16)
            except ConnectionResetError:
                chunk = b""
            if not chunk:
                raise Broken(not data)
            data += chunk
        reply = json.loads(data)
        if reply.get("id") != request["id"]:
            raise RuntimeError("resposta para outra chamada: %r" % reply.get("id"))
        return reply

    # The host's policy: every method only reads, so a call whose connection
    # broke before any reply byte goes again once, on a new connection.
    def call(self, method, params):
        try:
            return self.exchange(method, params), False
        except Broken as e:
            self.close()
            if not e.before_reply:
                raise
        return self.exchange(method, params), True


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def start_server(url, log):
    proc = subprocess.Popen([os.path.join(BIN, "vex-appserver"), "--database", url,
                             "--listen", "127.0.0.1:0", "--threads", "2"],
                            stdout=subprocess.PIPE, stderr=log, text=True)
    line = proc.stdout.readline()
    match = re.search(r"pronto em [0-9.]+:(\d+) ", line)
    if not match:
        proc.kill()
        raise RuntimeError("servidor não ficou pronto: %r" % line)
    return proc, int(match.group(1))


def server_states(stats_path):
    """HAProxy's view of each server: name -> UP, DOWN, ..."""
    with socket.socket(socket.AF_UNIX) as s:
        s.settimeout(IO_TIMEOUT_S)
        s.connect(stats_path)
        s.sendall(b"show stat\n")
        data = b""
        while chunk := s.recv(1 << 16):
            data += chunk
    lines = data.decode().splitlines()
    header = lines[0].lstrip("# ").split(",")
    states = {}
    for line in lines[1:]:
        row = dict(zip(header, line.split(",")))
        if row.get("pxname") == "appservers" and row.get("svname", "").startswith("s"):
            states[row["svname"]] = row["status"].split()[0]
    return states


def haproxy_config(front, backends, stats_path):
    servers = "\n".join("  server s%d 127.0.0.1:%d check" % (i, port)
                        for i, port in enumerate(backends))
    return f"""global
  maxconn 512
  stats socket {stats_path}
defaults
  mode tcp
  timeout connect 1s
  timeout client 20s
  timeout server 20s
  retries 2
  option redispatch
frontend vex
  bind 127.0.0.1:{front}
  default_backend appservers
backend appservers
  balance roundrobin
  option tcp-check
  tcp-check connect
  tcp-check send-binary {PING.hex()}
  tcp-check expect string pong
  default-server inter 200 fall 1 rise 2
{servers}
"""


def wait_for_port(port, deadline):
    while time.monotonic() < deadline:
        try:
            with socket.create_connection(("127.0.0.1", port), 0.5):
                return True
        except OSError:
            time.sleep(0.05)
    return False


def psql(admin_url, sql):
    subprocess.run(["psql", "-q", "-v", "ON_ERROR_STOP=1", admin_url, "-c", sql],
                   check=True, stdout=subprocess.DEVNULL)


def workload(direct):
    """The calls the clients repeat, with a direct server's replies."""
    branches = direct.call(PREFIX + "GetFiliOL", [])[0]["result"]
    calls = [(PREFIX + "GetFiliOL", [])]
    for row in branches.get("rows", [])[:3]:
        calls.append((PREFIX + "GetVdFiliOL", [row[0]]))
    if len(calls) < 3:
        raise RuntimeError("poucas filiais na empresa de demonstração: %r" % branches)
    calls.append((PREFIX + "GetVdFiliOL", ["XX99"]))
    answers = [(m, p, direct.call(m, p)[0]) for m, p in calls]
    if not any(a.get("result", {}).get("rows") for m, p, a in answers[1:]):
        raise RuntimeError("GetVdFiliOL sem linhas: %r" % answers[1][2])
    return answers


def run_clients(port, calls, stats, stop_at):
    lock = threading.Lock()

    def one(index):
        client = Client(port)
        n = index
        last_ok = time.monotonic()
        while time.monotonic() < stop_at:
            method, params, expected = calls[n % len(calls)]
            n += 1
            try:
                try:
                    reply, retried = client.call(method, params)
                except Broken:
                    # A clear connection error (the retry also met the dying
                    # instance): the user's own retry must then succeed.
                    client.close()
                    with lock:
                        stats["repeated"] += 1
                    reply, retried = client.call(method, params)
            except Exception as e:  # noqa: BLE001 - recorded as a failure
                client.close()
                stats["failures"].append("%s%r: %s" % (method, params, e))
                continue
            now = time.monotonic()
            with lock:
                stats["gap"] = max(stats["gap"], now - last_ok)
                stats["calls"] += 1
                stats["retried"] += retried
            last_ok = now
            if reply.get("result") != expected.get("result") \
                    or reply.get("error") != expected.get("error"):
                stats["wrong"].append("%s%r" % (method, params))
        client.close()

    threads = [threading.Thread(target=one, args=(i,)) for i in range(CLIENTS)]
    for t in threads:
        t.start()
    return threads


def main():
    admin_url = os.environ.get("VEX_TEST_PG_URL", "")
    haproxy = shutil.which("haproxy") or ("/usr/sbin/haproxy"
                                          if os.access("/usr/sbin/haproxy", os.X_OK) else None)
    if not admin_url and os.environ.get("VEX_TEST_REQUIRE_PG") == "1":
        print("FAIL: VEX_TEST_REQUIRE_PG is set but VEX_TEST_PG_URL is not")
        return 1
    if not haproxy or not admin_url:
        print("SKIP: scale-out needs haproxy and VEX_TEST_PG_URL")
        return SKIP
    dbname = "scaleout_%d" % os.getpid()
    url = admin_url.rsplit("/", 1)[0] + "/" + dbname
    work = tempfile.mkdtemp(prefix="vex-scaleout-")
    procs = []
    psql(admin_url, "CREATE DATABASE %s" % dbname)
    try:
        vexdb = os.path.join(BIN, "vex-db")
        subprocess.run([vexdb, "init", "--database", url], check=True,
                       stdout=subprocess.DEVNULL)
        subprocess.run([vexdb, "demo", "--database", url, "--scale", "1"], check=True,
                       stdout=subprocess.DEVNULL)
        log = open(os.path.join(work, "servers.log"), "w")
        servers = [start_server(url, log) for _ in range(4)]
        procs += [p for p, _ in servers]
        direct = Client(servers[3][1])
        calls = workload(direct)
        direct.close()

        front = free_port()
        cfg = os.path.join(work, "haproxy.cfg")
        sock = os.path.join(work, "haproxy.sock")
        with open(cfg, "w") as f:
            f.write(haproxy_config(front, [port for _, port in servers[:3]], sock))
        balancer = subprocess.Popen([haproxy, "-f", cfg, "-db"],
                                    stdout=subprocess.DEVNULL, stderr=log)
        procs.append(balancer)
        if not wait_for_port(front, time.monotonic() + 10):
            print("FAIL: haproxy did not listen")
            return 1
        up = {"s0": "UP", "s1": "UP", "s2": "UP"}
        deadline = time.monotonic() + 5  # two health checks mark them up
        while server_states(sock) != up and time.monotonic() < deadline:
            time.sleep(0.1)
        if server_states(sock) != up:
            print("FAIL: the ping check did not mark the servers up: %r" % server_states(sock))
            return 1

        with socket.create_connection(("127.0.0.1", front), IO_TIMEOUT_S) as s:
            s.sendall(PING)
            if b'"result":"pong"' not in s.recv(4096):
                print("FAIL: system.ping through haproxy")
                return 1

        stats = {"calls": 0, "retried": 0, "repeated": 0, "gap": 0.0, "failures": [], "wrong": []}
        start = time.monotonic()
        threads = run_clients(front, calls, stats, start + RUN_S)
        time.sleep(KILL_AT_S)
        servers[0][0].send_signal(signal.SIGKILL)
        for t in threads:
            t.join(RUN_S + 3 * IO_TIMEOUT_S)
        elapsed = time.monotonic() - start
        states = server_states(sock)
        print("calls %d in %.1f s (%.0f/s); after the kill %d repeated on a new connection,"
              " %d failed clearly and succeeded when called again; longest gap %.0f ms"
              % (stats["calls"], elapsed, stats["calls"] / elapsed, stats["retried"],
                 stats["repeated"], stats["gap"] * 1000))
        ok = True
        if any(t.is_alive() for t in threads):
            print("FAIL: a client hung")
            ok = False
        for what in ("failures", "wrong"):
            for line in stats[what][:5]:
                print("FAIL: %s: %s" % (what, line))
            ok = ok and not stats[what]
        if states != {"s0": "DOWN", "s1": "UP", "s2": "UP"}:
            print("FAIL: the killed server is not taken out: %r" % states)
            ok = False
        if stats["calls"] < CLIENTS * 10:
            print("FAIL: too few calls")
            ok = False
        return 0 if ok else 1
    finally:
        for p in procs:
            if p.poll() is None:
                p.terminate()
        for p in procs:
            try:
                p.wait(10)
            except subprocess.TimeoutExpired:
                p.kill()
        psql(admin_url, "DROP DATABASE IF EXISTS %s" % dbname)
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
