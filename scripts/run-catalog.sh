#!/usr/bin/env bash
# Builds the engine and prints its version until the catalogue program exists.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build -G Ninja >/dev/null
cmake --build build -j"$(nproc)"
ls -l build/engine/libLodex32.so
