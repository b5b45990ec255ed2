#!/usr/bin/env bash
# Builds the library for x86-64 and runs the demo.
set -euo pipefail
cd "$(dirname "$0")/.."
bash .ci/install-deps
cmake --preset native >/dev/null
cmake --build --preset native --target vexa_demo >/dev/null
./build/native/vexa_demo
