# The figures of the service's yt-dlp updates: one check when nothing is new, one full update (download,
# signature, checksum, trial, new warm bridge, switch), and the first page after a switch against pages the warm
# bridge resolves. Run by engine-update.sh, which makes the releases and serves them with nginx.
#     engine_update.py PROGRAM RELEASES_URL KEY PAGE_URL ROUNDS
import os
import re
import statistics
import subprocess
import sys
import tempfile
import threading
import time
import urllib.parse
import urllib.request

program, releases, key, page, rounds = sys.argv[1], sys.argv[2], sys.argv[3], sys.argv[4], int(sys.argv[5])


def load():
    return '%.2f %.2f %.2f' % os.getloadavg()


class Service:
    """quillon-resolver with its log lines stamped as they come."""

    def __init__(self, folder, port):
        self.port = port
        self.lines = []
        self.process = subprocess.Popen(
            [program, '--port', str(port), '--engines', 'yt-dlp', '--engine-source', releases + 'new/',
             '--engine-dir', folder, '--engine-key', key],
            stdout=subprocess.PIPE, text=True)
        threading.Thread(target=self.read, daemon=True).start()

    def read(self):
        for line in self.process.stdout:
            self.lines.append((time.monotonic(), line.strip()))

    def wait_for(self, pattern, timeout=300):
        end = time.monotonic() + timeout
        while time.monotonic() < end:
            for stamp, line in list(self.lines):
                if re.search(pattern, line):
                    return stamp, line
            time.sleep(0.01)
        raise SystemExit(f'no line like {pattern!r}: {self.lines}')

    def resolve(self):
        body = ('url=' + urllib.parse.quote_plus(page)).encode()
        start = time.monotonic()
        with urllib.request.urlopen(f'http://127.0.0.1:{self.port}/xurl/', data=body, timeout=120) as answer:
            text = answer.read()
        seconds = time.monotonic() - start
        if b'clip.mp4' not in text:
            raise SystemExit(f'page not resolved: {text[:300]!r}')
        return seconds

    def stop(self):
        self.process.terminate()
        self.process.wait(30)


def free_port():
    import socket
    with socket.socket() as probe:
        probe.bind(('127.0.0.1', 0))
        return probe.getsockname()[1]


def seconds_of(line):
    return float(re.search(r'\(([0-9.]+) s\)$', line).group(1))


updates, switches, currents, firsts, warms = [], [], [], [], []
for round_number in range(rounds):
    with tempfile.TemporaryDirectory() as folder:
        service = Service(folder, free_port())
        listening, _ = service.wait_for(r'listening on')
        _, installed = service.wait_for(r'yt-dlp \S+ installed \(')
        in_use, _ = service.wait_for(r'\(downloaded, .*\) in use$')
        updates.append((seconds_of(installed), load()))
        switches.append((in_use - listening, load()))
        firsts.append((service.resolve(), load()))
        for _ in range(5):
            warms.append((service.resolve(), load()))
        service.stop()
        # Started again on the same folder: its check at start finds nothing new.
        service = Service(folder, free_port())
        _, current = service.wait_for(r'is current \(')
        currents.append((seconds_of(current), load()))
        service.stop()


def report(title, figures):
    values = [value for value, _ in figures]
    loads = sorted({where for _, where in figures})
    print(f'{title}: median {statistics.median(values):.3f} s, {min(values):.3f}-{max(values):.3f} s over '
          f'{len(values)}; load average {loads[0]} to {loads[-1]}')


print(f'machine: {os.cpu_count()} cores, load average {load()}')
report('check, nothing new (signature list, its signature, sqv, SHA-256 of the file in use)', currents)
report('update: download, verify, read the version, trial --version, install', updates)
report('update and switch: from the start-up line to the new warm bridge taking pages', switches)
report('first page after the switch', firsts)
report('pages with the warm bridge', warms)
