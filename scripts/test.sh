#!/usr/bin/env bash
# Installs what is needed, builds everything and runs every test:
#   1. the whole suite (warnings are errors) under CTest; the real-time fax
#      calls against spandsp (label "realtime") run side by side with the
#      next two builds;
#   2. the Qt-free core once more under AddressSanitizer and
#      UndefinedBehaviorSanitizer (without the efax-against-simulator tests,
#      label "peer", in which none of the program's code runs);
#   tests on a simulated line (label "line") run six at a time in both.
#   3. a short run of every libFuzzer target on its seed corpus.
# Any failure, sanitizer report or warning fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh

jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen
# A compiler cache keyed on paths relative to the checkout: a second run, or
# a run in another clone of the same sources, compiles only what changed.
cache=()
if command -v ccache >/dev/null 2>&1; then
  export CCACHE_BASEDIR=$PWD CCACHE_NOHASHDIR=1
  cache=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi

echo "== build and test (warnings are errors)"
cmake -S . -B build/test -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTOLMERA_WERROR=ON "${cache[@]}" >/dev/null
cmake --build build/test -j "$jobs"
# Tests on a simulated fax line (labels "line" and "peer") mostly wait for
# the simulator, so they run six at a time after the others.
ctest --test-dir build/test --output-on-failure -j "$jobs" --timeout 600 -LE 'realtime|line|peer' | tee build/test/ctest.log | grep -Ev '^ +[0-9]+/[0-9]+ Test +#[0-9]+: .* Passed' || true
grep -q '^100% tests passed' build/test/ctest.log || { echo "test.sh: the test suite failed"; exit 1; }
ctest --test-dir build/test --output-on-failure -j 6 --timeout 600 -L 'line|peer' | tee build/test/ctest-line.log | grep -Ev '^ +[0-9]+/[0-9]+ Test +#[0-9]+: .* Passed|^ +Start ' || true
grep -q '^100% tests passed' build/test/ctest-line.log || { echo "test.sh: the fax line tests failed"; exit 1; }

echo "== real-time fax calls against spandsp, while the sanitizer and fuzz builds run"
# The calls wait on the line, not the processor: four run at a time, and the
# two builds beside them run at a lower priority so the calls keep their pace.
ctest --test-dir build/test --output-on-failure -j 4 --timeout 600 -L realtime > build/test/ctest-realtime.log 2>&1 &
realtime_pid=$!
trap 'kill "$realtime_pid" 2>/dev/null || true' EXIT
cmake -S . -B build/asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTOLMERA_CORE_ONLY=ON \
  -DTOLMERA_SANITIZE=ON -DTOLMERA_WERROR=ON -DTOLMERA_BENCH=OFF "${cache[@]}" >/dev/null
nice -n 10 cmake --build build/asan -j "$jobs"
CC=clang-14 CXX=clang++-14 cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTOLMERA_CORE_ONLY=ON -DTOLMERA_FUZZ=ON -DTOLMERA_TESTS=OFF -DTOLMERA_BENCH=OFF "${cache[@]}" >/dev/null
nice -n 10 cmake --build build/fuzz -j "$jobs"
wait "$realtime_pid" || true
grep -Ev '^ +[0-9]+/[0-9]+ Test +#[0-9]+: .* Passed|^ +Start ' build/test/ctest-realtime.log | grep -v '^ *$' | tail -n 30
grep -q '^100% tests passed' build/test/ctest-realtime.log || { echo "test.sh: the real-time fax calls failed"; exit 1; }

echo "== core under AddressSanitizer and UndefinedBehaviorSanitizer"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export LSAN_OPTIONS=suppressions=$PWD/scripts/lsan.supp  # libraries' own lifetime allocations
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
asan_ctest() {  # log, then ctest's selection options
  local log=build/asan/$1; shift
  ctest --test-dir build/asan --output-on-failure --timeout 900 "$@" > "$log" 2>&1 || true
  tail -n 20 "$log" | grep -v '^ *$' | tail -n 4
  grep -q '^100% tests passed' "$log" || { grep -E 'Failed|SUMMARY' "$log" | head -40; echo "test.sh: the sanitizer run failed"; exit 1; }
}
asan_ctest ctest.log -j "$jobs" -LE 'line|peer'
asan_ctest ctest-line.log -j 6 -L line

echo "== fuzz targets (short runs, one per core at a time)"
fuzz_seconds=${TOLMERA_FUZZ_SECONDS:-20}
run_fuzzer() {
  local f=$1 name corpus seeds limit=10
  name=$(basename "$f")
  # The RTF reader must stay linear: its seeds hold a control word of
  # 100,000 letters, read in about 0.1 s; a reader quadratic in its length
  # takes over 5 s on it.
  [ "$name" = fuzz_rtf ] && limit=2
  corpus=build/fuzz/corpus/$name
  mkdir -p "$corpus"
  seeds=$(find src tests -type d -path "*/fuzz/$name" | head -n 1)
  if "$f" -max_total_time="$fuzz_seconds" -timeout="$limit" -rss_limit_mb=2048 -print_final_stats=0 \
       "$corpus" ${seeds:+"$seeds"} > "build/fuzz/$name.log" 2>&1; then
    echo "$name: $(grep -Eo '^Done [0-9]+ runs.*' "build/fuzz/$name.log" | tail -n 1)"
  else
    echo "$name: FAILED"; tail -n 40 "build/fuzz/$name.log"; return 1
  fi
}
export -f run_fuzzer
export fuzz_seconds
find build/fuzz -maxdepth 4 -type f -executable -name 'fuzz_*' | sort |
  xargs -P "$jobs" -I{} bash -c 'run_fuzzer "$1"' _ {} ||
  { echo "test.sh: a fuzz target failed"; exit 1; }

echo "== closing summary"
for log in build/test/ctest.log build/test/ctest-line.log build/test/ctest-realtime.log build/asan/ctest*.log; do
  echo "$log: $(grep -E '^[0-9]+% tests passed' "$log") ($(grep -Eo '[0-9.]+ sec$' "$log" | tail -n 1))"
done
