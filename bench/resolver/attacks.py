#!/usr/bin/env python3
"""Hostile clients against quillon-resolver on 127.0.0.1, and the service's peak resident memory under each.

    attacks.py RESOLVER_PROGRAM [ATTACK...]     attacks: pipeline, trailer, parses (all three by default)

pipeline  two kept connections pipeline "GET /" for 20 s and never read an answer
trailer   a chunked POST whose trailer line never ends: up to 300 MB in 20 s
parses    sixteen 256 KiB pages of deeply nested markup and twelve 4 MB ones at once from one client, then a
          tiny page from another

Each attack runs against a fresh service; the figure is its VmHWM (peak resident set) at the end. Every loop is
bounded in time and talks to loopback only.
"""
import http.server
import os
import select
import socket
import subprocess
import sys
import tempfile
import threading
import time


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def memory_kib(pid, field):
    with open(f"/proc/{pid}/status") as status:
        for line in status:
            if line.startswith(field + ":"):
                return int(line.split()[1])
    return 0


def children_peak_kib(pid):
    """The largest resident set among the service's children right now (parser processes)."""
    peak = 0
    try:
        for child in open(f"/proc/{pid}/task/{pid}/children").read().split():
            peak = max(peak, memory_kib(int(child), "VmRSS"))
    except OSError:
        pass
    return peak


class Service:
    def __init__(self, program, extra=()):
        self.port = free_port()
        self.process = subprocess.Popen([program, "--port", str(self.port), *extra], stdout=subprocess.PIPE)
        self.process.stdout.readline()  # "listening on ..."
        self.children_sum_peak = 0
        self.children_count_peak = 0
        self.watching = True
        self.watcher = threading.Thread(target=self.watch, daemon=True)
        self.watcher.start()

    def watch(self):
        pid = self.process.pid
        while self.watching:
            try:
                children = open(f"/proc/{pid}/task/{pid}/children").read().split()
                total = sum(memory_kib(int(c), "VmRSS") for c in children)
            except OSError:
                children, total = [], 0
            self.children_sum_peak = max(self.children_sum_peak, total)
            self.children_count_peak = max(self.children_count_peak, len(children))
            time.sleep(0.1)

    def report(self, name):
        self.watching = False
        self.watcher.join()
        peak = memory_kib(self.process.pid, "VmHWM")
        print(f"{name}: service peak resident {peak / 1024:.0f} MiB; parser children at once: up to "
              f"{self.children_count_peak}, together up to {self.children_sum_peak / 1024:.0f} MiB; "
              f"load average {open('/proc/loadavg').read().split()[0]}", flush=True)
        self.process.terminate()
        self.process.wait(10)


def pipeline(program):
    service = Service(program)
    request = b"GET / HTTP/1.1\r\nHost: h\r\n\r\n" * 1000
    clients = [socket.create_connection(("127.0.0.1", service.port)) for _ in range(2)]
    for client in clients:
        client.setblocking(False)
    sent = 0
    end = time.time() + 20
    while time.time() < end:
        _, writable, _ = select.select([], clients, [], 0.5)
        for client in writable:
            try:
                sent += client.send(request)
            except OSError:
                clients.remove(client)
        if not clients:
            break
    print(f"pipeline: sent {sent / 1e6:.0f} MB of requests, read nothing", flush=True)
    service.report("pipeline")
    for client in clients:
        client.close()


def trailer(program):
    service = Service(program)
    client = socket.create_connection(("127.0.0.1", service.port))
    client.sendall(b"POST /xurl/ HTTP/1.1\r\nHost: h\r\nTransfer-Encoding: chunked\r\n\r\n0\r\nX-Trailer: ")
    client.setblocking(False)
    piece = b"a" * 65536
    sent = 0
    answer = b""
    end = time.time() + 20
    while time.time() < end and sent < 300_000_000:
        readable, writable, _ = select.select([client], [client], [], 0.5)
        if readable:
            data = client.recv(65536)
            answer += data
            if not data:
                break
        if writable:
            try:
                sent += client.send(piece)
            except OSError:
                break
    status = answer.split(b"\r\n")[0].decode() or "none"
    print(f"trailer: sent {sent / 1e6:.0f} MB of trailer; answer: {status}", flush=True)
    service.report("trailer")
    client.close()


class QuietHandler(http.server.SimpleHTTPRequestHandler):
    def log_message(self, *args):
        pass


def parses(program):
    folder = tempfile.mkdtemp()
    with open(os.path.join(folder, "nested.html"), "w") as page:
        page.write("<!DOCTYPE html><html><body>" + "<div>" * (256 * 1024 // 5))
    with open(os.path.join(folder, "big.html"), "w") as page:
        page.write("<!DOCTYPE html><html><body>" + "<object>" * (4 * 1024 * 1024 // 8))
    with open(os.path.join(folder, "tiny.html"), "w") as page:
        page.write('<html><video src="/v.flv"></video></html>')
    handler = lambda *a: QuietHandler(*a, directory=folder)
    pages = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
    pages.handle_error = lambda *args: None  # the service hangs up on pages it no longer wants
    threading.Thread(target=pages.serve_forever, daemon=True).start()
    base = f"http://127.0.0.1:{pages.server_address[1]}/"
    service = Service(program)

    def resolve(page, results, index, source="127.0.0.1"):
        body = b"url=" + (base + page).encode()
        try:
            with socket.create_connection(("127.0.0.1", service.port), timeout=60, source_address=(source, 0)) as client:
                client.sendall(b"POST /xurl/ HTTP/1.0\r\nContent-Length: %d\r\n\r\n" % len(body) + body)
                answer = b""
                while True:
                    data = client.recv(65536)
                    if not data:
                        break
                    answer += data
        except OSError as error:
            answer = str(error).encode()
        results[index] = answer

    started = time.time()
    results = [b""] * 28
    workers = [threading.Thread(target=resolve, args=("nested.html" if i < 16 else "big.html", results, i))
               for i in range(28)]
    for worker in workers:
        worker.start()
    time.sleep(3)
    tiny = [b""]
    tiny_started = time.time()
    resolve("tiny.html", tiny, 0, "127.0.0.2")  # another client
    tiny_seconds = time.time() - tiny_started
    for worker in workers:
        worker.join(90)
    statuses = {}
    for answer in results:
        line = answer.split(b"\r\n")[0].decode(errors="replace")
        if b"200 OK" in answer[:20]:
            line += " / " + ("not parsed in time" if "\u0440\u0430\u0437\u043e\u0431\u0440\u0430\u043d\u0430 \u0437\u0430".encode() in answer else "other")
        statuses[line] = statuses.get(line, 0) + 1
    found = "v.flv" in tiny[0].decode(errors="replace")
    print(f"parses: 28 hostile pages answered in {time.time() - started:.1f} s ({statuses}); the tiny page "
          f"{'resolved' if found else 'NOT resolved'} in {tiny_seconds:.1f} s", flush=True)
    service.report("parses")
    pages.shutdown()


def main():
    program = sys.argv[1]
    attacks = sys.argv[2:] or ["pipeline", "trailer", "parses"]
    for attack in attacks:
        globals()[attack](program)


if __name__ == "__main__":
    main()
