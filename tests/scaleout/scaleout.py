#!/usr/bin/env python3
"""Three vex-appserver instances over one PostgreSQL database behind HAProxy.

The servers speak TLS and require sign-in, as they must off loopback. Each
client signs in once and resumes its session on every new connection,
whichever instance takes it. Sixteen clients run cascades (branches,
requests, order lines, stock) through the balancer for twenty seconds: first with one instance in service, then
with three; then one instance is killed and started again, and another is
stopped with SIGTERM. Every call must succeed: at once, after the client's
one retry on a connection that broke before any reply byte, or, having
failed with that clear error, when called again. Each reply must equal a
direct server's, and the ping health check must take the killed instance
out and put it back.
Exits 77 (skipped) without haproxy or VEX_TEST_PG_URL.
"""
import datetime
import json
import os
import re
import shutil
import signal
import socket
import ssl
import subprocess
import sys
import tempfile
import threading
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "pylib"))
from testca import authority  # noqa: E402

SKIP = 77
BIN = sys.argv[1] if len(sys.argv) > 1 else "build/bin"
CLIENTS = 16
SCALE = 5
IO_TIMEOUT_S = 5.0
PREFIX = "VEX00300.rdmAcomPOL."
PING = b'{"jsonrpc":"2.0","id":1,"method":"system.ping"}\n'
LOGIN, PASSWORD = "carga", "senha de teste"

# Seconds from the start of the run. Throughput is counted inside the two
# windows, after the clients have spread over the instances in service.
ONE_WINDOW = (0.5, 5.0)
THREE_AT = 5.0
THREE_WINDOW = (5.5, 10.5)
KILL_AT = 10.5
RESTART_AT = 12.5
REBALANCE_AT = 15.0
DRAIN_AT = 16.0
RUN_S = 20.0


class Broken(Exception):
    """The connection ended; before_reply tells whether any byte came back."""

    def __init__(self, before_reply):
        super().__init__("conexão interrompida "
                         + ("antes da resposta" if before_reply else "durante a resposta"))
        self.before_reply = before_reply


def reply_body(line, request_id):
    """The reply without its envelope and id, as bytes, for comparing."""
    head = b'{"jsonrpc":"2.0","id":%d,' % request_id
    if not line.startswith(head):
        raise RuntimeError("resposta inesperada: %r" % line[:80])
    return line[len(head):]


class Security:
    """The test CA, the session key and the user, made for one run."""

    def __init__(self, work, url):
        self.ca_file, self.cert, self.key = authority(work, "escala")
        self.auth_key = os.path.join(work, "sessao.key")
        with open(self.auth_key, "wb") as f:
            f.write(os.urandom(32))
        os.chmod(self.auth_key, 0o600)
        subprocess.run([os.path.join(BIN, "vex-db"), "user", "add", LOGIN, "--database", url,
                        "--iterations", "1000", "--test-weak-iterations"],
                       input=PASSWORD + "\n", text=True, check=True, stdout=subprocess.DEVNULL)
        self.context = ssl.create_default_context(cafile=self.ca_file)

    def server_flags(self):
        # Behind the balancer every connection comes from its address.
        return ["--tls-cert", self.cert, "--tls-key", self.key, "--auth", "db",
                "--auth-key-file", self.auth_key, "--preauth-per-address", "1000"]


class Client:
    """One person's connection: signs in on the first, resumes the session
    on every later one."""

    def __init__(self, port, security):
        self.port = port
        self.security = security
        self.sock = None
        self.buffer = b""
        self.next_id = 1
        self.token = None
        self.resumed = 0

    def close(self):
        if self.sock:
            self.sock.close()
            self.sock = None
        self.buffer = b""

    def connect(self):
        try:
            raw = socket.create_connection(("127.0.0.1", self.port), IO_TIMEOUT_S)
            self.sock = self.security.context.wrap_socket(raw, server_hostname="127.0.0.1")
        except (ssl.SSLCertVerificationError, ConnectionRefusedError):
            raise
        except OSError:
            self.close()
            raise Broken(True)  # the instance went away during the handshake
        if self.token is None:
            body = self.send("session.login", [LOGIN, PASSWORD])
        else:
            body = self.send("session.resume", [self.token])
            self.resumed += 1
        token = json.loads(b"{" + body).get("result", {}).get("token")
        if not token:
            raise RuntimeError("sessão recusada: %r" % body[:200])
        self.token = token

    def exchange(self, method, params):
        if not self.sock:
            self.connect()
        return self.send(method, params)

    def send(self, method, params):
        request_id = self.next_id
        self.next_id += 1
        request = {"jsonrpc": "2.0", "id": request_id, "method": method, "params": params}
        try:
            self.sock.sendall(json.dumps(request).encode() + b"\n")
        except OSError:
            raise Broken(True)
        got_any = False
        while b"\n" not in self.buffer:
            try:
                chunk = self.sock.recv(1 << 16)
            except OSError:  # reset, or the TLS session cut short
                chunk = b""
            if not chunk:
                raise Broken(not got_any)
            got_any = True
            self.buffer += chunk
        line, self.buffer = self.buffer.split(b"\n", 1)
        return reply_body(line, request_id)

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


# One worker each: one instance against three then compares instances, not
# the cores of a small machine. The figures are printed, never asserted.
def start_server(url, log, security, port=0):
    proc = subprocess.Popen([os.path.join(BIN, "vex-appserver"), "--database", url,
                             "--listen", "127.0.0.1:%d" % port, "--threads", "1"]
                            + security.server_flags(),
                            stdout=subprocess.PIPE, stderr=log, text=True)
    line = proc.stdout.readline()
    match = re.search(r"pronto em [0-9.]+:(\d+) ", line)
    if not match:
        proc.kill()
        raise RuntimeError("servidor não ficou pronto: %r" % line)
    return proc, int(match.group(1))


def haproxy_stats(stats_path, command=b"show stat"):
    with socket.socket(socket.AF_UNIX) as s:
        s.settimeout(IO_TIMEOUT_S)
        s.connect(stats_path)
        s.sendall(command + b"\n")
        data = b""
        while chunk := s.recv(1 << 16):
            data += chunk
    return data.decode()


def server_rows(stats_path):
    """HAProxy's view of each server: name -> its stats row."""
    lines = haproxy_stats(stats_path).splitlines()
    header = lines[0].lstrip("# ").split(",")
    rows = {}
    for line in lines[1:]:
        row = dict(zip(header, line.split(",")))
        if row.get("pxname") == "appservers" and row.get("svname", "").startswith("s"):
            rows[row["svname"]] = row
    return rows


def server_states(stats_path):
    return {name: row["status"].split()[0] for name, row in server_rows(stats_path).items()}


def set_state(stats_path, server, state):
    haproxy_stats(stats_path, b"set server appservers/%s state %s" % (server.encode(),
                                                                      state.encode()))


def haproxy_config(front, backends, stats_path, ca_file):
    servers = "\n".join("  server s%d 127.0.0.1:%d check" % (i, port)
                        for i, port in enumerate(backends))
    return f"""global
  maxconn 512
  stats socket {stats_path} level admin
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
  balance leastconn
  option tcp-check
  tcp-check connect ssl
  tcp-check send-binary {PING.hex()}
  tcp-check expect string pong
  default-server inter 200 fall 1 rise 2 check-ssl verify required ca-file {ca_file}
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


def ole_day(year, month, day):
    return float((datetime.date(year, month, day) - datetime.date(1899, 12, 30)).days)


def packet_rows(body):
    result = json.loads(b"{" + body)["result"]
    names = [f["name"] for f in result["fields"]]
    return [dict(zip(names, row)) for row in result["rows"]]


def cascades(direct, operator="0001", branches=4):
    """Cascades as the window runs them over one week, each a list of calls
    with a direct server's replies."""
    first, last = ole_day(2026, 11, 2), ole_day(2026, 11, 8)
    grid = ["", "T", operator, first, last, "", 0, 0, "T", "", "Z" * 20, "T",
            "", "T", "T", "T", "T", "T"]
    grid_call = (PREFIX + "GetFiliSoliGrid", grid)
    grid_body = direct.call(*grid_call)[0]
    result = []
    for branch in packet_rows(grid_body)[:branches]:
        calls = [grid_call]
        soli = [branch["CDFILSOLI"], operator] + grid[3:11] + ["T", "Entrega direta"] + grid[12:]
        calls.append((PREFIX + "GetSoli", soli))
        items = [r for r in packet_rows(direct.call(*calls[-1])[0]) if r["NRSEQUCONSOL"]]
        if not items:
            continue
        item = items[len(items) // 2]
        calls.append((PREFIX + "GetProd", [branch["CDFILSOLI"], operator, item["DTPROGENTR"],
                                           item["CDPRODESTO"], "T", item["NRSEQUCONSOL"]]))
        lines = packet_rows(direct.call(*calls[-1])[0])
        if lines:
            line = lines[0]
            calls.append((PREFIX + "GetProdOL",
                          [line["CDFILDEST"], line["CDFILLANC"], line["NRPEDEXOL"],
                           item["DTPROGENTR"], line["CDPRODUTO"], line["CDMARCA"], operator,
                           line["DTPROGEMBARQ"]]))
        result.append([(m, p, direct.call(m, p)[0]) for m, p in calls])
    if len(result) < 2 or max(len(c) for c in result) < 4:
        raise RuntimeError("a empresa de demonstração não deu cascatas completas: %r" % result)
    return result


class Run:
    """Clients, their records and the moments the run's events happened."""

    def __init__(self, port, work, security):
        self.port = port
        self.work = work
        self.security = security
        self.start = time.monotonic()
        self.stop_at = self.start + RUN_S
        self.epoch = 0  # a change makes every client reconnect, to spread again
        self.lock = threading.Lock()
        self.done = []  # (seconds since start, latency) of each call
        self.retried = 0
        self.repeated = 0
        self.gap = 0.0
        self.failures = []
        self.wrong = []
        self.resumed = 0

    def now(self):
        return time.monotonic() - self.start

    def one_call(self, client, method, params):
        try:
            return client.call(method, params)
        except Broken:
            # A clear connection error (the retry also met the dying
            # instance): the user's own retry must then succeed.
            client.close()
            with self.lock:
                self.repeated += 1
            return client.call(method, params)

    def client(self, index):
        client = Client(self.port, self.security)
        epoch = self.epoch
        n = index
        last_ok = time.monotonic()
        while time.monotonic() < self.stop_at:
            if epoch != self.epoch:
                epoch = self.epoch
                client.close()
            for method, params, expected in self.work[n % len(self.work)]:
                began = time.monotonic()
                try:
                    body, retried = self.one_call(client, method, params)
                except Exception as e:  # noqa: BLE001 - recorded as a failure
                    client.close()
                    with self.lock:
                        self.failures.append("%s%r: %s" % (method, params, e))
                    break
                ended = time.monotonic()
                with self.lock:
                    self.gap = max(self.gap, ended - last_ok)
                    self.done.append((ended - self.start, ended - began))
                    self.retried += retried
                    if body != expected:
                        self.wrong.append("%s%r" % (method, params))
                last_ok = ended
            n += 1
        client.close()
        with self.lock:
            self.resumed += client.resumed

    def window(self, first, last):
        """Calls per second and p99 latency (ms) of the calls ended inside."""
        latencies = sorted(lat for t, lat in self.done if first <= t < last)
        if not latencies:
            return 0.0, float("nan")
        p99 = latencies[min(len(latencies) - 1, int(len(latencies) * 0.99))]
        return len(latencies) / (last - first), p99 * 1000


class Watch(threading.Thread):
    """Polls HAProxy's view of the servers and keeps each change with its
    moment."""

    def __init__(self, stats_path, run):
        super().__init__(daemon=True)
        self.stats_path = stats_path
        self.run_ = run
        self.changes = []  # (seconds, server, state)
        self.stopping = False

    def run(self):
        last = {}
        while not self.stopping:
            try:
                states = server_states(self.stats_path)
            except OSError:
                states = {}
            for name, state in states.items():
                if last.get(name) != state:
                    self.changes.append((self.run_.now(), name, state))
            last = states or last
            time.sleep(0.05)

    def first(self, server, state, after):
        return next((t for t, s, st in self.changes if s == server and st == state
                     and t >= after), None)


def sleep_until(run, moment):
    time.sleep(max(0.0, moment - run.now()))


def drive(run, servers, sock, url, log, procs):
    """The run's events, in order; returns the drained server's exit code,
    whether a client hung, and the restarted server's connections."""
    threads = [threading.Thread(target=run.client, args=(i,)) for i in range(CLIENTS)]
    for t in threads:
        t.start()
    sleep_until(run, THREE_AT)
    set_state(sock, "s1", "ready")
    set_state(sock, "s2", "ready")
    run.epoch += 1
    sleep_until(run, KILL_AT)
    servers[0][0].send_signal(signal.SIGKILL)
    servers[0][0].wait()
    sleep_until(run, RESTART_AT)
    servers[0] = start_server(url, log, run.security, servers[0][1])
    procs.append(servers[0][0])
    before = int(server_rows(sock)["s0"]["stot"] or 0)
    sleep_until(run, REBALANCE_AT)
    run.epoch += 1
    sleep_until(run, DRAIN_AT)
    servers[1][0].send_signal(signal.SIGTERM)
    try:
        drained = servers[1][0].wait(10)
    except subprocess.TimeoutExpired:
        drained = None
    for t in threads:
        t.join(RUN_S + 3 * IO_TIMEOUT_S)
    after = int(server_rows(sock)["s0"]["stot"] or 0)
    return drained, any(t.is_alive() for t in threads), after - before


def check(run, watch, drained, hung, states, sessions_after_restart):
    ok = True

    def fail(text):
        nonlocal ok
        print("FAIL: " + text)
        ok = False

    if hung:
        fail("a client hung")
    for what in ("failures", "wrong"):
        for line in getattr(run, what)[:5]:
            fail("%s: %s" % (what, line))
    down = watch.first("s0", "DOWN", KILL_AT)
    back = watch.first("s0", "UP", RESTART_AT)
    if down is None or down > RESTART_AT:
        fail("the killed server was not taken out before its restart: %r" % watch.changes)
    if back is None:
        fail("the restarted server was not put back: %r" % watch.changes)
    if sessions_after_restart < 1:
        fail("no connection reached the restarted server")
    if drained != 0:
        fail("the drained server did not stop cleanly: exit %r" % drained)
    if states != {"s0": "UP", "s1": "DOWN", "s2": "UP"}:
        fail("unexpected server states at the end: %r" % states)
    one, three = run.window(*ONE_WINDOW), run.window(*THREE_WINDOW)
    if one[0] == 0 or three[0] == 0:
        fail("no calls in a measuring window")
    print("calls %d in %.0f s; one instance %.0f calls/s, p99 %.1f ms; three instances"
          " %.0f calls/s, p99 %.1f ms" % (len(run.done), RUN_S, one[0], one[1], three[0],
                                          three[1]))
    print("sessions resumed on a new connection: %d" % run.resumed)
    print("kill: %d repeated on a new connection, %d failed clearly and succeeded when called"
          " again; longest gap %.0f ms; out after %s s, back %s s after the restart"
          % (run.retried, run.repeated, run.gap * 1000,
             "%.2f" % (down - KILL_AT) if down is not None else "-",
             "%.2f" % (back - RESTART_AT) if back is not None else "-"))
    return ok


def topology(url, work, log, haproxy, security):
    servers = [start_server(url, log, security) for _ in range(4)]
    direct = Client(servers[3][1], security)
    calls = cascades(direct)
    direct.close()
    front = free_port()
    cfg = os.path.join(work, "haproxy.cfg")
    sock = os.path.join(work, "haproxy.sock")
    with open(cfg, "w") as f:
        f.write(haproxy_config(front, [port for _, port in servers[:3]], sock,
                               security.ca_file))
    balancer = subprocess.Popen([haproxy, "-f", cfg, "-db"],
                                stdout=subprocess.DEVNULL, stderr=log)
    return servers, calls, front, sock, balancer


def wait_all_up(sock):
    up = {"s0": "UP", "s1": "UP", "s2": "UP"}
    deadline = time.monotonic() + 5  # two health checks mark them up
    while server_states(sock) != up and time.monotonic() < deadline:
        time.sleep(0.1)
    return server_states(sock) == up


def scenario(url, work, log, haproxy, procs):
    security = Security(work, url)
    servers, calls, front, sock, balancer = topology(url, work, log, haproxy, security)
    procs += [p for p, _ in servers] + [balancer]
    if not wait_for_port(front, time.monotonic() + 10):
        print("FAIL: haproxy did not listen")
        return 1
    if not wait_all_up(sock):
        print("FAIL: the ping check did not mark the servers up: %r" % server_states(sock))
        return 1
    with socket.create_connection(("127.0.0.1", front), IO_TIMEOUT_S) as raw, \
            security.context.wrap_socket(raw, server_hostname="127.0.0.1") as s:
        s.sendall(PING)
        if b'"result":"pong"' not in s.recv(4096):
            print("FAIL: system.ping through haproxy")
            return 1
    set_state(sock, "s1", "maint")
    set_state(sock, "s2", "maint")
    run = Run(front, calls, security)
    watch = Watch(sock, run)
    watch.start()
    try:
        drained, hung, after_restart = drive(run, servers, sock, url, log, procs)
    finally:
        watch.stopping = True
    time.sleep(0.5)  # the drained server's check fails within one interval
    states = server_states(sock)
    return 0 if check(run, watch, drained, hung, states, after_restart) else 1


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
        subprocess.run([vexdb, "demo", "--database", url, "--scale", str(SCALE)], check=True,
                       stdout=subprocess.DEVNULL)
        with open(os.path.join(work, "servers.log"), "w") as log:
            return scenario(url, work, log, haproxy, procs)
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
