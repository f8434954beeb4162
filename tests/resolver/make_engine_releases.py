# Makes yt-dlp releases for the tests of the service's engine updates, in the form yt-dlp publishes them: a
# folder with the zipapp "yt-dlp", SHA2-256SUMS and its detached signature SHA2-256SUMS.sig. The zipapp is made
# from the yt-dlp that Debian installs, with the version each release claims; the signing keys are made for the
# test, in a GNUPGHOME of their own that is gone when this ends.
#     python3 make_engine_releases.py OUT
# OUT/key.asc is the release key; OUT/<name>/ each release (see RELEASES).
import hashlib
import os
import shutil
import subprocess
import sys
import tempfile
import zipfile

import yt_dlp

SOURCE = os.path.dirname(yt_dlp.__file__)
MAIN = 'import yt_dlp\nyt_dlp.main()\n'
BROKEN_MAIN = 'import sys\nsys.exit("this release does not run")\n'
# name: (version, how it is made)
RELEASES = {
    'new': ('2026.08.19', 'good'),
    'newer': ('2026.09.02.1', 'good'),
    'older': ('2022.11.11', 'good'),
    'tampered': ('2026.08.20', 'tampered'),
    'badsig': ('2026.08.21', 'badsig'),
    'otherkey': ('2026.08.22', 'otherkey'),
    'nosig': ('2026.08.23', 'nosig'),
    'trialfails': ('2026.08.24', 'trialfails'),
}


def make_base(path):
    with open(path, 'wb') as out:
        out.write(b'#!/usr/bin/env python3\n')
        with zipfile.ZipFile(out, 'w', zipfile.ZIP_DEFLATED) as archive:
            for root, folders, files in os.walk(SOURCE):
                folders[:] = [folder for folder in folders if folder != '__pycache__']
                for name in files:
                    if name.endswith('.py') and name != 'version.py':
                        full = os.path.join(root, name)
                        archive.write(full, os.path.relpath(full, os.path.dirname(SOURCE)))


def make_program(base, path, version, main):
    shutil.copyfile(base, path)
    with open(os.path.join(SOURCE, 'version.py'), encoding='utf-8') as source:
        text = source.read().replace(yt_dlp.version.__version__, version)
    with zipfile.ZipFile(path, 'a', zipfile.ZIP_DEFLATED) as archive:
        archive.writestr('yt_dlp/version.py', text)
        archive.writestr('__main__.py', main)
    os.chmod(path, 0o755)


def gpg(home, *arguments, **options):
    return subprocess.run(['gpg', '--homedir', home, '--batch', '--quiet', '--pinentry-mode', 'loopback',
                           '--passphrase', ''] + list(arguments), check=True, capture_output=True, **options)


def make_key(home, name):
    gpg(home, '--quick-gen-key', f'{name} <{name}@quillon.example>', 'ed25519', 'sign', 'never')
    listing = gpg(home, '--with-colons', '--list-keys', f'{name}@quillon.example').stdout.decode()
    return next(line.split(':')[9] for line in listing.splitlines() if line.startswith('fpr:'))


def sums_of(program):
    with open(program, 'rb') as data:
        digest = hashlib.sha256(data.read()).hexdigest()
    return (f'{"0" * 64}  yt-dlp.exe\n{digest}  yt-dlp\n{"f" * 64}  yt-dlp_linux\n').encode()


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    home = tempfile.mkdtemp(prefix='qg')  # short: gpg-agent's socket lives there
    try:
        release_key = make_key(home, 'release')
        other_key = make_key(home, 'stranger')
        with open(os.path.join(out, 'key.asc'), 'wb') as key:
            key.write(gpg(home, '--armor', '--export', release_key).stdout)
        base = os.path.join(home, 'base')
        make_base(base)
        for name, (version, kind) in RELEASES.items():
            folder = os.path.join(out, name)
            os.makedirs(folder, exist_ok=True)
            program = os.path.join(folder, 'yt-dlp')
            make_program(base, program, version, BROKEN_MAIN if kind == 'trialfails' else MAIN)
            sums = os.path.join(folder, 'SHA2-256SUMS')
            with open(sums, 'wb') as out_sums:
                out_sums.write(sums_of(program))
            signed = sums
            if kind == 'badsig':  # a signature, by the right key, of other contents
                signed = os.path.join(home, 'other-sums')
                with open(signed, 'wb') as other:
                    other.write(sums_of(base))
            if kind != 'nosig':
                gpg(home, '--local-user', other_key if kind == 'otherkey' else release_key, '--detach-sign',
                    '--output', sums + '.sig', signed)
            if kind == 'tampered':  # one byte of the program changed after it was listed
                with open(program, 'r+b') as data:
                    data.seek(40)
                    byte = data.read(1)
                    data.seek(40)
                    data.write(bytes([byte[0] ^ 1]))
    finally:
        subprocess.run(['gpgconf', '--homedir', home, '--kill', 'all'], capture_output=True)
        shutil.rmtree(home, ignore_errors=True)


main()
