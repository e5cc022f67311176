#!/usr/bin/env bash
# Starts Tolmera under Xvfb on a data folder with a few sample faxes and saves
# a picture of its main window as docs/main-window.png, then of the viewer
# window it opens for a fax file given on its command line
# (docs/viewer-window.png); draws the send window, the fax editor, quick
# set-up and the wizard's modem page, the troubleshooter and the
# configuration report into docs/ as well.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh

build=build/screenshot
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTOLMERA_TESTS=ON -DTOLMERA_BENCH=ON >/dev/null
cmake --build "$build" --target tolmera tlmfax make_sample_logs send_window_shot fax_editor_picture \
  help_windows_screenshots setup_gui_test

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
# The screen leaves room for the viewer window; the main window's picture is
# cut to the window.
Xvfb ":$display" -screen 0 1024x720x24 -nolisten tcp >/dev/null 2>&1 &
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
xwd -root -silent -display ":$display" | xwdtopnm 2>/dev/null | pnmcut -left 0 -top 0 -width "$width" -height "$height" |
  pnmtopng > docs/main-window.png
echo "screenshot.sh: wrote docs/main-window.png"

# The viewer window on a two-page fax, opened from the command line.
kill "$app_pid" 2>/dev/null || true
wait "$app_pid" 2>/dev/null || true
printf 'ACME Supplies Ltd.\n\nTo: Tolmera Trading\nSubject: Quotation 4711\n\nDear customer,\n\nThank you for your enquiry.\n\fPage two of the quotation.\n' \
  > "$data/quote.txt"
"$build/tools/tlmfax/tlmfax" convert --fine "$data/quote.txt" "$data/QUOTE.APF" >/dev/null
TOLMERA_HOME="$data" XDG_RUNTIME_DIR="$data/run" DISPLAY=":$display" QT_QPA_PLATFORM=xcb \
  "$build/src/app/tolmera" "$data/QUOTE.APF" >/dev/null 2>&1 &
app_pid=$!
sleep 4
kill -0 "$app_pid" 2>/dev/null || { echo "screenshot.sh: tolmera did not start on a fax file" >&2; exit 1; }
xwd -root -silent -display ":$display" | xwdtopnm 2>/dev/null | pnmtopng > docs/viewer-window.png
echo "screenshot.sh: wrote docs/viewer-window.png"

# Quick set-up and the wizard's modem page; the troubleshooter and the
# configuration report.
TOLMERA_SCREENSHOT_DIR="$PWD/docs" XDG_RUNTIME_DIR="$data/run" QT_QPA_PLATFORM=offscreen \
  "$build/tests/setup/setup_gui_test" --gtest_filter=PreferencesTest.Screenshots >/dev/null
echo "screenshot.sh: wrote docs/quick-setup.png and docs/preferences-modem.png"
XDG_RUNTIME_DIR="$data/run" QT_QPA_PLATFORM=offscreen "$build/tests/setup/help_windows_screenshots" docs >/dev/null
echo "screenshot.sh: wrote docs/troubleshooter.png and docs/configuration-report.png"

# The send window with its progress display during a send over faxsim.
QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$data/run" "$build/bench/send/send_window_shot" docs/send-window.png
echo "screenshot.sh: wrote docs/send-window.png"
XDG_RUNTIME_DIR="$data/run" QT_QPA_PLATFORM=offscreen "$build/bench/compose/fax_editor_picture" docs/fax-editor.png
echo "screenshot.sh: wrote docs/fax-editor.png"
