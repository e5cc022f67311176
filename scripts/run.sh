#!/usr/bin/env bash
# Installs what is needed, builds Tolmera and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DTOLMERA_TESTS=OFF -DTOLMERA_BENCH=OFF >/dev/null
cmake --build build/release
exec build/release/src/app/tolmera "$@"
