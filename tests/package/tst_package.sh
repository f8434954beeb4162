#!/usr/bin/env bash
# The Debian package as a user gets it: unpacked into a temporary root (dpkg-deb -x, nothing is installed on the
# machine) and run as the unprivileged user nobody with a fresh HOME, on a virtual display, in a network
# namespace of its own (so that its loopback port 8397 is free whatever runs on this machine).
#   tst_package.sh BUILD_DIR
# Needs root, to make the namespace and become nobody; elsewhere it is skipped (exit code 77).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "$1" && pwd)
if [ "$(id -u)" -ne 0 ]; then
  echo "SKIP: tst_package needs root (a network namespace of its own, and the user nobody)"
  exit 77
fi

work=$(mktemp -d /tmp/quillon-package.XXXXXX)
trap 'rm -rf "$work"' EXIT
chmod 755 "$work"

# The package scripts/test.sh made when it is newer than the programs; otherwise one made here.
deb=$(ls -t "$build"/quillon_*.deb 2>/dev/null | head -n 1 || true)
if [ -z "$deb" ] || [ "$deb" -ot "$build/src/app/quillon" ] || [ "$deb" -ot "$build/src/resolver/quillon-resolver" ]; then
  (cd "$work" && cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/package" > "$work/cpack.log") \
    || { cat "$work/cpack.log"; exit 1; }
  deb=$(ls "$work"/package/quillon_*.deb)
fi
echo "package: $deb"
dpkg-deb -x "$deb" "$work/root"

# The page and the video the download fetches, served on the namespace's loopback.
mkdir "$work/www" "$work/home" "$work/copy"
printf '<html><body><video src="http://127.0.0.1:8000/clip.flv"></video></body></html>\n' > "$work/www/watch.html"
{ printf 'FLV\001\005\000\000\000\011'; head -c 300000 /dev/urandom; } > "$work/www/clip.flv"
chmod -R a+rX "$work/www" "$work/root"
# A copy in a folder of the user's own, which keeps its files beside itself.
cp -a "$work/root/usr/bin/." "$work/copy/"
# The session's own folder and message bus, as a desktop session has them: without a bus, the desktop
# libraries would start one and leave its address in HOME.
mkdir -m 700 "$work/runtime"
chown nobody:nogroup "$work/home" "$work/copy" "$work/runtime"

unshare --net -- sh -c '
  ip link set lo up
  exec env -i HOME="$1/home" XDG_RUNTIME_DIR="$1/runtime" PATH=/usr/bin:/bin LANG=C.UTF-8 \
    setpriv --reuid=nobody --regid=nogroup --clear-groups \
    dbus-run-session -- xvfb-run -a -s "-screen 0 1024x768x24" bash "$2/drive-package.sh" "$1"
' sh "$work" "$here"
echo "PASS"
