#!/usr/bin/env python3
"""quillon-resolver's engines and its remux, against their peers, on 127.0.0.1.

    engines.py RESOLVER_PROGRAM [--rounds N] [--seconds S] [--parts resolution,remux,memory]

Makes an HLS video with ffmpeg (a master playlist of a 1280x720 and a 640x360 variant, H.264 + AAC, S seconds,
60 by default, about 46 MB in the larger variant) and three pages, serves them with a local nginx (through the
tests' launcher: QUILLON_PEER, or else build/tests/support/quillon_peer of this repository), starts
the service (--workers 4) and waits until its yt-dlp is ready. Then:

resolution  the program's resolution request, one at a time, for a page the built-in engine answers (og:video),
            a page that only streams (<video><source> of the master playlist: the built-in engine finds the
            stream, yt-dlp chooses the variant) and a page whose player is set up in a script (yt-dlp alone
            finds it); beside them `yt-dlp -J` on the same two pages. N rounds (5), every other round in the
            opposite order. Ratio: the service with yt-dlp warm / yt-dlp -J alone (target: at most 0.5).
remux       the stream page's /media/ link downloaded into a file, by this script itself (so that no client
            program's start-up counts) and by `curl -o FILE`, against `ffmpeg -i VARIANT -c copy FILE.flv` on
            the variant the service chose; N rounds, every other round in the opposite order. Ratio: ffmpeg's
            seconds / the service's (target: at least 0.9), and the outputs' sizes.
memory      resident memory (RSS) and proportional share (PSS: shared pages of the forked yt-dlp children counted
            once) of the service and all its children, idle, then with every worker busy: four yt-dlp children
            waiting on a page server that never answers, and four ffmpeg streams to clients that read slowly.
            Each busy client comes from its own loopback address, so the per-address shares let all four in.

Every figure comes with the load average (1 minute) at its time. Everything runs on loopback and is bounded.
"""
import argparse
import os
import re
import shutil
import socket
import statistics
import subprocess
import sys
import tempfile
import threading
import time
import urllib.parse


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def load():
    with open("/proc/loadavg") as f:
        return f.read().split()[0]


def wait_for_port(port, seconds=20):
    deadline = time.time() + seconds
    while time.time() < deadline:
        try:
            socket.create_connection(("127.0.0.1", port), 1).close()
            return
        except OSError:
            time.sleep(0.1)
    sys.exit(f"engines.py: nothing listens on port {port}")


def make_site(folder, seconds):
    hls = os.path.join(folder, "www", "hls")
    os.makedirs(hls)
    subprocess.run(
        ["ffmpeg", "-hide_banner", "-loglevel", "error", "-y",
         "-f", "lavfi", "-i", "testsrc2=size=1280x720:rate=25", "-f", "lavfi", "-i", "sine=frequency=440",
         "-t", str(seconds), "-filter_complex", "[0:v]split=2[big][s];[s]scale=640:360[small];[1:a]asplit=2[a1][a2]",
         "-map", "[big]", "-map", "[a1]", "-map", "[small]", "-map", "[a2]", "-c:v", "libx264", "-preset", "veryfast",
         "-b:v:0", "6M", "-b:v:1", "1M", "-g", "50", "-c:a", "aac", "-b:a", "128k", "-f", "hls", "-hls_time", "4",
         "-hls_playlist_type", "vod", "-master_pl_name", "master.m3u8", "-var_stream_map", "v:0,a:0 v:1,a:1",
         "-hls_segment_filename", "v%v-%03d.ts", "v%v.m3u8"], cwd=hls, check=True)
    pages = {
        "builtin.html": '<html><head><meta property="og:video" content="/clip.flv"></head><body></body></html>',
        "stream.html": '<html><body><video><source src="hls/master.m3u8" type="application/x-mpegURL">'
                       '</video></body></html>',
        "player.html": '<html><body><div id="p"></div><script>jwplayer("p").setup({file: "hls/v0.m3u8"});'
                       '</script></body></html>',
    }
    for name, text in pages.items():
        with open(os.path.join(folder, "www", name), "w") as f:
            f.write(text)


def start_nginx(folder):
    """nginx serving folder/www through the tests' launcher, as every benchmark's web server (see bench/README)."""
    top = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..")
    launcher = os.environ.get("QUILLON_PEER", os.path.join(top, "build", "tests", "support", "quillon_peer"))
    process = subprocess.Popen([launcher, "nginx", os.path.join(folder, "www")], stdout=subprocess.PIPE, text=True)
    announcement = process.stdout.readline().split()
    if len(announcement) != 2:
        sys.exit(f"engines.py: nginx did not start through {launcher}")
    return process, int(announcement[0])


def start_service(program, extra=()):
    port = free_port()
    process = subprocess.Popen([program, "--port", str(port), "--workers", "4", *extra], stdout=subprocess.PIPE,
                               text=True)
    line = process.stdout.readline()
    if not line.startswith("quillon-resolver: listening on"):
        sys.exit("engines.py: the service did not start: " + line)
    deadline = time.time() + 300
    while time.time() < deadline:
        line = process.stdout.readline()
        if "yt-dlp" in line:
            if "ready" not in line:
                sys.exit("engines.py: " + line)
            return process, port
    sys.exit("engines.py: yt-dlp was not ready in 300 s")


def resolve(service_port, page, source="127.0.0.1"):
    """The program's resolution request; returns (seconds, the first link or None)."""
    body = "url=" + urllib.parse.quote_plus(page, safe="")
    request = (f"POST /xurl/ HTTP/1.0\r\nHost: 127.0.0.1:{service_port}\r\nContent-Type: "
               f"application/x-www-form-urlencoded\r\nContent-Length: {len(body)}\r\n\r\n{body}").encode()
    start = time.perf_counter()
    with socket.create_connection(("127.0.0.1", service_port), 120, source_address=(source, 0)) as s:
        s.sendall(request)
        answer = b""
        while piece := s.recv(65536):
            answer += piece
    seconds = time.perf_counter() - start
    match = re.search(rb'href="(http[^"]*)"', answer)
    return seconds, match.group(1).decode() if match and "Нажмите".encode() in answer else None


def timed(command):
    start = time.perf_counter()
    subprocess.run(command, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return time.perf_counter() - start


def median_line(name, values, loads):
    return (f"  {name:<44} median {statistics.median(values):7.3f} s  (min {min(values):.3f}, "
            f"max {max(values):.3f}; load {min(loads)}-{max(loads)})")


def bench_resolution(service_port, site, rounds):
    print(f"resolution, {rounds} rounds, load {load()} before")
    kinds = [("built-in engine (og:video)", lambda: resolve(service_port, site + "builtin.html")),
             ("service, stream page (yt-dlp warm)", lambda: resolve(service_port, site + "stream.html")),
             ("yt-dlp -J, stream page", lambda: (timed(["yt-dlp", "-J", "--", site + "stream.html"]), "")),
             ("service, script player page (yt-dlp warm)", lambda: resolve(service_port, site + "player.html")),
             ("yt-dlp -J, script player page", lambda: (timed(["yt-dlp", "-J", "--", site + "player.html"]), ""))]
    times = {name: [] for name, _ in kinds}
    loads = {name: [] for name, _ in kinds}
    for round_number in range(rounds):
        for name, run in (kinds if round_number % 2 == 0 else list(reversed(kinds))):
            seconds, link = run()
            if link is None:
                sys.exit(f"engines.py: {name}: no video found")
            times[name].append(seconds)
            loads[name].append(load())
    for name, _ in kinds:
        print(median_line(name, times[name], loads[name]))
    for page in ("stream page", "script player page"):
        service = statistics.median(times[f"service, {page} (yt-dlp warm)"])
        alone = statistics.median(times[f"yt-dlp -J, {page}"])
        print(f"  ratio service / yt-dlp -J, {page}: {service / alone:.2f} (target: at most 0.5)")


def download(link, path):
    """The link's body into a file as it arrives, by this process: no client program's start-up is counted."""
    url = urllib.parse.urlsplit(link)
    start = time.perf_counter()
    with socket.create_connection((url.hostname, url.port), 60) as s, open(path, "wb") as out:
        s.sendall(f"GET {url.path} HTTP/1.0\r\nHost: {url.netloc}\r\n\r\n".encode())
        head = b""
        while b"\r\n\r\n" not in head:
            head += s.recv(65536)
        out.write(head.split(b"\r\n\r\n", 1)[1])
        buffer = bytearray(1 << 20)
        while received := s.recv_into(buffer):
            out.write(memoryview(buffer)[:received])
    return time.perf_counter() - start


def bench_remux(service_port, site, folder, rounds):
    _, link = resolve(service_port, site + "stream.html")
    variant = site + "hls/v0.m3u8"  # the 1280x720 variant, the tallest up to 1080 that the service chooses
    print(f"remux of the stream page, {rounds} rounds, load {load()} before")
    times = {"reader": [], "curl": [], "ffmpeg": []}
    loads, sizes = [], {}
    steps = [("reader", lambda path: download(link, path)),
             ("curl", lambda path: timed(["curl", "-s", "-f", "--http1.0", "-o", path, link])),
             ("ffmpeg", lambda path: timed(["ffmpeg", "-hide_banner", "-loglevel", "error", "-y", "-i", variant, "-c",
                                            "copy", path]))]
    for round_number in range(rounds):
        for name, run in (steps if round_number % 2 == 0 else list(reversed(steps))):
            path = f"{folder}/{name}.flv"
            times[name].append(run(path))
            loads.append(load())
            sizes[name] = os.path.getsize(path)
            os.remove(path)
    print(median_line("service /media/ link, read into a file", times["reader"], loads))
    print(median_line("service /media/ link, curl -o FILE", times["curl"], loads))
    print(median_line("ffmpeg -i VARIANT -c copy FILE.flv", times["ffmpeg"], loads))
    print("  sizes: " + ", ".join(f"{name} {size} bytes" for name, size in sizes.items()))
    print("  throughput of the medians: " + ", ".join(
        f"{name} {sizes[name] / statistics.median(times[name]) / 1e6:.0f} MB/s" for name in times))
    for name in ("reader", "curl"):
        ratio = statistics.median(times["ffmpeg"]) / statistics.median(times[name])
        print(f"  ratio ffmpeg seconds / service seconds ({name}): {ratio:.2f} (target: at least 0.9)")


def tree(pid):
    """The process and all its descendants."""
    children = {}
    for entry in os.listdir("/proc"):
        if entry.isdigit():
            try:
                with open(f"/proc/{entry}/stat") as f:
                    parent = int(f.read().rsplit(")", 1)[1].split()[1])
                children.setdefault(parent, []).append(int(entry))
            except (OSError, ValueError, IndexError):
                pass
    found, pending = [], [pid]
    while pending:
        current = pending.pop()
        found.append(current)
        pending.extend(children.get(current, []))
    return found


def memory_of(pid):
    """(RSS KiB, PSS KiB, processes) of the service and everything below it."""
    rss = pss = 0
    pids = tree(pid)
    for process in pids:
        try:
            with open(f"/proc/{process}/smaps_rollup") as f:
                for line in f:
                    if line.startswith("Rss:"):
                        rss += int(line.split()[1])
                    elif line.startswith("Pss:"):
                        pss += int(line.split()[1])
        except OSError:
            pass
    return rss, pss, len(pids)


def print_memory(label, pid):
    rss, pss, count = memory_of(pid)
    print(f"  {label:<52} {count:2d} processes, RSS {rss / 1024:7.1f} MiB, PSS {pss / 1024:7.1f} MiB "
          f"(load {load()})")


def silent_server():
    """A page server that accepts and never answers: yt-dlp waits on it until its time limit."""
    server = socket.socket()
    server.bind(("127.0.0.1", 0))
    server.listen(64)
    held = []

    def accept():
        while True:
            try:
                held.append(server.accept()[0])
            except OSError:
                return
    threading.Thread(target=accept, daemon=True).start()
    return server, held


def bench_memory(program, site, folder):
    print("memory, --workers 4")
    service, port = start_service(program, ["--engines", "yt-dlp"])
    try:
        time.sleep(2)
        print_memory("idle, yt-dlp ready", service.pid)
        server, held = silent_server()
        silent = f"http://127.0.0.1:{server.getsockname()[1]}/page.html"
        waiting = [threading.Thread(target=resolve, args=(port, silent, f"127.0.0.{i + 2}"), daemon=True)
                   for i in range(4)]
        for thread in waiting:
            thread.start()
        time.sleep(5)
        print_memory("four yt-dlp children waiting on their pages", service.pid)
        server.close()
        for connection in held:
            connection.close()
        for thread in waiting:
            thread.join(60)
        _, link = resolve(port, site + "player.html")
        readers = [subprocess.Popen(["curl", "-s", "--interface", f"127.0.0.{i + 2}", "--limit-rate", "200k",
                                     "-o", os.devnull, link]) for i in range(4)]
        time.sleep(8)
        print_memory("four ffmpeg streams to slow readers", service.pid)
        for reader in readers:
            reader.kill()
            reader.wait()
        time.sleep(3)
        print_memory("after", service.pid)
    finally:
        service.terminate()
        service.wait(30)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("program")
    parser.add_argument("--rounds", type=int, default=5)
    parser.add_argument("--seconds", type=int, default=60)
    parser.add_argument("--parts", default="resolution,remux,memory")
    arguments = parser.parse_args()
    parts = arguments.parts.split(",")
    for tool in ("ffmpeg", "yt-dlp", "curl"):
        if not shutil.which(tool):
            sys.exit(f"engines.py: {tool} is needed")
    folder = tempfile.mkdtemp(prefix="quillon-engines-")
    nginx = service = None
    try:
        print(f"making a {arguments.seconds} s HLS video, load {load()}")
        make_site(folder, arguments.seconds)
        nginx, nginx_port = start_nginx(folder)
        site = f"http://127.0.0.1:{nginx_port}/"
        service, service_port = start_service(arguments.program)
        if "resolution" in parts:
            bench_resolution(service_port, site, arguments.rounds)
        if "remux" in parts:
            bench_remux(service_port, site, folder, arguments.rounds)
        service.terminate()
        service.wait(30)
        service = None
        if "memory" in parts:
            bench_memory(arguments.program, site, folder)
        print(f"load {load()} after")
    finally:
        for process in (service, nginx):
            if process:
                process.terminate()
                process.wait(30)
        shutil.rmtree(folder, ignore_errors=True)


if __name__ == "__main__":
    main()
