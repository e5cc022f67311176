#!/usr/bin/env bash
# Starts Tolmera under Xvfb on a data folder with a few sample faxes and saves
# a picture of its main window as docs/main-window.png; draws the fax editor
# with a filled cover sheet as docs/fax-editor.png.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh

build=build/screenshot
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTOLMERA_TESTS=OFF -DTOLMERA_BENCH=ON >/dev/null
cmake --build "$build" --target tolmera make_sample_logs send_window_shot fax_editor_picture

width=860
height=540
data=$(mktemp -d)
xvfb_pid=
app_pid=
cleanup() {
  [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$data"
}
trap cleanup EXIT

# A data folder that is past its first start, with the window filling the screen.
cat > "$data/TLM.INI" <<INI
[Modem]
ComPort=0
[TMainScreen_Placement]
Left=0
Top=0
Right=$width
Bottom=$height
Maximized=0
INI
"$build/bench/app/make_sample_logs" "$data" 14 6

# The first free display number.
display=90
while [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ]; do
  display=$((display + 1))
done
Xvfb ":$display" -screen 0 "${width}x${height}x24" -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 50); do
  [ -e "/tmp/.X11-unix/X$display" ] && break
  sleep 0.1
done

mkdir -p "$data/run"
chmod 700 "$data/run"
TOLMERA_HOME="$data" XDG_RUNTIME_DIR="$data/run" DISPLAY=":$display" QT_QPA_PLATFORM=xcb \
  "$build/src/app/tolmera" >/dev/null 2>&1 &
app_pid=$!
sleep 3
kill -0 "$app_pid" 2>/dev/null || { echo "screenshot.sh: tolmera did not start" >&2; exit 1; }

mkdir -p docs
xwd -root -silent -display ":$display" | xwdtopnm 2>/dev/null | pnmtopng > docs/main-window.png
echo "screenshot.sh: wrote docs/main-window.png"

# The send window with its progress display during a send over faxsim.
QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$data/run" "$build/bench/send/send_window_shot" docs/send-window.png
echo "screenshot.sh: wrote docs/send-window.png"
XDG_RUNTIME_DIR="$data/run" QT_QPA_PLATFORM=offscreen "$build/bench/compose/fax_editor_picture" docs/fax-editor.png
echo "screenshot.sh: wrote docs/fax-editor.png"
