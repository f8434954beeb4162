#!/usr/bin/env bash
# Runs inside tst_package.sh's namespace as nobody on a virtual display: drives the unpacked program with
# xdotool as a user would, and checks where it put its files.
#   drive-package.sh WORK_FOLDER
set -euo pipefail
work=$1
program=$work/root/usr/bin/quillon
home=$HOME
fail() {
  echo "FAIL: $*" >&2
  find "$home" "$work/copy" >&2 || true
  exit 1
}
pids=()
trap 'for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done' EXIT

# The window or dialog of this title, once it is shown.
window_of() {
  timeout 60 xdotool search --sync --onlyvisible --name "$1" | head -n 1
}
# Clicks at a point of a window, in its own coordinates.
click() {
  xdotool mousemove --sync --window "$1" "$2" "$3"
  sleep 0.2
  xdotool click 1
  sleep 0.3
}
# Presses a key in a window (focused first: without a window manager nobody else does it).
press() {
  xdotool windowfocus --sync "$1"
  sleep 0.2
  xdotool key "$2"
}
wait_for_end() {
  for _ in $(seq 1 100); do
    kill -0 "$1" 2>/dev/null || return 0
    sleep 0.1
  done
  return 1
}
# Points of the main window: the download panel's button in the start menu, the quit button; in the download
# panel the address box, the download button, the network settings button and the back button.
menu_download=(46 40); menu_quit=(44 208)
address=(150 44); download=(104 84); network_settings=(260 224); back=(46 224)

python3 -m http.server 8000 --bind 127.0.0.1 --directory "$work/www" > /dev/null 2>&1 &
pids+=($!)

echo "-- a copy in the user's own folder keeps its files beside itself"
"$work/copy/quillon" &
copy=$!
pids+=("$copy")
main=$(window_of '^Quillon ')
[ -d "$work/copy/DownloadVideo" ] || fail "no DownloadVideo beside the copy"
click "$main" "${menu_quit[@]}"
wait_for_end "$copy" || fail "the copy did not end"
[ -z "$(ls -A "$home")" ] || fail "the copy wrote into HOME"

echo "-- the installed program: a first start creates nothing"
"$program" &
quillon=$!
pids+=("$quillon")
main=$(window_of '^Quillon ')
sleep 1
[ -z "$(ls -A "$home")" ] || fail "the first start created something in HOME"
[ "$(ls -A "$work/root/usr/bin")" = "$(printf 'quillon\nquillon-resolver')" ] || fail "files beside the program"

echo "-- a download with Cancel lands in ~/Videos/Quillon, through the service the program started"
click "$main" "${menu_download[@]}"
click "$main" "${address[@]}"
xdotool type --delay 20 "http://127.0.0.1:8000/watch.html"
sleep 0.3
click "$main" "${download[@]}"
dialog=$(window_of '^Сохранение видеофайла$')
resolver=$(pgrep -P "$quillon" -f "/quillon-resolver --listen") || fail "no quillon-resolver started by the program"
press "$dialog" Escape
notice=$(window_of '^Внимание!$')
press "$notice" Return
saved=$(ls "$home/Videos/Quillon/"*.flv) || fail "nothing in ~/Videos/Quillon"
cmp "$saved" "$work/www/clip.flv" || fail "the saved video differs from the served one"

echo "-- saving the settings writes ~/.config/quillon/options.ini, readable by the user only"
sleep 0.5
click "$main" "${network_settings[@]}"
options=$(window_of '^Настройки$')
# Enter is OK in the Options dialog.
press "$options" Return
settings=$home/.config/quillon/options.ini
for _ in $(seq 1 50); do [ -f "$settings" ] && break; sleep 0.1; done
[ "$(stat -c %a "$settings" 2>/dev/null)" = 600 ] || fail "options.ini missing or not mode 600"
[ "$(stat -c %a "$home/.config/quillon")" = 700 ] || fail "~/.config/quillon not mode 700"
grep -q '^UseProxy=0' "$settings" || fail "options.ini without the settings"

echo "-- the service goes with the program"
click "$main" "${back[@]}"
click "$main" "${menu_quit[@]}"
wait_for_end "$quillon" || fail "the program did not end"
wait_for_end "$resolver" || fail "quillon-resolver still runs after the program ended"
[ "$(ls -A "$work/root/usr/bin")" = "$(printf 'quillon\nquillon-resolver')" ] || fail "files beside the program"
echo "drive-package.sh: all checks passed"
