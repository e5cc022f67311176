#!/usr/bin/env bash
# Installs what is needed, builds Tolmera and starts it.
#
#   scripts/run.sh                     a real modem once one is set up; until
#                                      then a demo line (a simulated modem)
#   scripts/run.sh --modem /dev/ttyUSB0  the modem on that device (COM1)
#
# The demo line is faxsim's demo: COM1 is its modem, faxes sent to 5550100
# land in build/release/demo/received/, and in receive mode 5550199 calls in
# with a sample fax. The simulator stops when the program exits.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

modem=""
args=()
while [ $# -gt 0 ]; do
  case "$1" in
    --modem) [ $# -ge 2 ] || { echo "run.sh: --modem needs a device path" >&2; exit 2; }
             modem=$2; shift 2 ;;
    --modem=*) modem=${1#--modem=}; shift ;;
    *) args+=("$1"); shift ;;
  esac
done

bash scripts/setup.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DTOLMERA_TESTS=OFF -DTOLMERA_BENCH=OFF >/dev/null
cmake --build build/release --target tolmera faxsim tlmfax

bin=build/release
program=$bin/src/app/tolmera
ini() { /usr/bin/python3 scripts/tlm_ini.py "$@"; }

# The user's data folder, as the program finds it from the build tree.
data=${TOLMERA_HOME:-$root/$bin/src/app}
mkdir -p "$data"

if [ -n "$modem" ]; then
  [ -e "$modem" ] || echo "run.sh: warning: $modem does not exist (yet)" >&2
  ini set "$data/TLM.INI" Ports COM1 "$modem"
  ini set "$data/TLM.INI" Modem ComPort 0
  export TOLMERA_HOME=$data
  exec "$program" "${args[@]}"
fi

# A modem is set up once a port was chosen or mapped.
configured=""
if [ -f "$data/TLM.INI" ]; then
  port=$(ini get "$data/TLM.INI" Modem ComPort)
  mapped=$(ini get "$data/TLM.INI" Ports COM1)
  if [ -n "$mapped" ] || { [ -n "$port" ] && [ "$port" != "-1" ]; }; then configured=yes; fi
fi
if [ -n "$configured" ]; then
  export TOLMERA_HOME=$data
  exec "$program" "${args[@]}"
fi

# The demo line.
demo=$root/$bin/demo
mkdir -p "$demo"
rm -f "$demo/modem"
"$bin/tools/faxsim/faxsim" --demo "$demo" 2>"$demo/faxsim.log" &
sim=$!
trap 'kill $sim 2>/dev/null; wait $sim 2>/dev/null || true' EXIT
for _ in $(seq 100); do
  [ -e "$demo/modem" ] && break
  kill -0 $sim 2>/dev/null || { cat "$demo/faxsim.log" >&2; exit 1; }
  sleep 0.05
done
if [ ! -f "$demo/TLM.INI" ]; then
  ini set "$demo/TLM.INI" Ports COM1 "$demo/modem"
  ini set "$demo/TLM.INI" Modem ComPort 0
  ini set "$demo/TLM.INI" Modem FaxClass 0
  ini set "$demo/TLM.INI" Modem MaximumBPS 14400
  ini set "$demo/TLM.INI" User Name "Tolmera demo"
  ini set "$demo/TLM.INI" User Fax "555 0100"
fi
if [ ! -f "$demo/TLM.DBF" ]; then
  "$bin/tools/tlmfax/tlmfax" queue --dir "$demo" --to "Demo fax machine" --subject "My first fax" \
    --doc scripts/demo/first-fax.rtf 5550100 >/dev/null
fi
echo "Tolmera on the demo line: send to 5550100 (pages land in $demo/received/);"
echo "in receive mode 5550199 sends you a sample fax. 'scripts/run.sh --modem DEVICE' uses a real modem."
export TOLMERA_HOME=$demo
status=0
"$program" "${args[@]}" || status=$?
exit $status
