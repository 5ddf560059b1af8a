#!/usr/bin/env bash
# Builds Varnel and runs every test, installing what is missing first.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake --preset debug
cmake --build --preset debug -j"$(nproc)"
ctest --preset debug -j"$(nproc)"
