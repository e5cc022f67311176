#!/usr/bin/env bash
# Installs what is needed, builds everything and runs every test:
#   1. the whole suite (warnings are errors) under CTest;
#   2. the Qt-free core once more under AddressSanitizer and
#      UndefinedBehaviorSanitizer;
#   3. a short run of every libFuzzer target on its seed corpus.
# Any failure, sanitizer report or warning fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh

jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen

echo "== build and test (warnings are errors)"
cmake -S . -B build/test -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTOLMERA_WERROR=ON >/dev/null
cmake --build build/test -j "$jobs"
ctest --test-dir build/test --output-on-failure -j "$jobs" --timeout 600 | tee build/test/ctest.log | grep -Ev '^ +[0-9]+/[0-9]+ Test +#[0-9]+: .* Passed' || true
grep -q '^100% tests passed' build/test/ctest.log || { echo "test.sh: the test suite failed"; exit 1; }

echo "== core under AddressSanitizer and UndefinedBehaviorSanitizer"
cmake -S . -B build/asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTOLMERA_CORE_ONLY=ON \
  -DTOLMERA_SANITIZE=ON -DTOLMERA_WERROR=ON -DTOLMERA_BENCH=OFF >/dev/null
cmake --build build/asan -j "$jobs"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
ctest --test-dir build/asan --output-on-failure -j "$jobs" --timeout 900 > build/asan/ctest.log 2>&1 || true
tail -n 20 build/asan/ctest.log | grep -v '^ *$' | tail -n 8
grep -q '^100% tests passed' build/asan/ctest.log || { grep -E 'Failed|SUMMARY' build/asan/ctest.log | head -40; echo "test.sh: the sanitizer run failed"; exit 1; }

echo "== fuzz targets (short runs)"
CC=clang-14 CXX=clang++-14 cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTOLMERA_CORE_ONLY=ON -DTOLMERA_FUZZ=ON -DTOLMERA_TESTS=OFF -DTOLMERA_BENCH=OFF >/dev/null
cmake --build build/fuzz -j "$jobs"
fuzz_seconds=${TOLMERA_FUZZ_SECONDS:-20}
fuzzers=$(find build/fuzz -maxdepth 4 -type f -executable -name 'fuzz_*' | sort)
for f in $fuzzers; do
  name=$(basename "$f")
  corpus=build/fuzz/corpus/$name
  mkdir -p "$corpus"
  seeds=$(find src tests -type d -path "*/fuzz/$name" | head -n 1)
  printf '%s: ' "$name"
  if ! "$f" -max_total_time="$fuzz_seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=0 \
       "$corpus" ${seeds:+"$seeds"} > "build/fuzz/$name.log" 2>&1; then
    echo "FAILED"; tail -n 40 "build/fuzz/$name.log"; exit 1
  fi
  grep -Eo '#[0-9]+ +DONE.*' "build/fuzz/$name.log" | tail -n 1 || echo ok
done

echo "== closing summary"
grep -E '^(100% tests passed|[0-9]+% tests passed)' build/test/ctest.log
grep -E '^Total Test time' build/test/ctest.log
