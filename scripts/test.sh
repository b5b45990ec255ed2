#!/usr/bin/env bash
# Builds both ABIs and runs every test: x86-64, i386 (under qemu-i386), x86-64
# under AddressSanitizer and UndefinedBehaviorSanitizer, the concurrency
# tests under ThreadSanitizer, and the fuzz targets' smoke runs. Installs what
# is missing first.
set -uo pipefail
cd "$(dirname "$0")/.."
bash .ci/install-deps || exit 1

passed=0
failed=0
status=0
run() {  # preset, extra ctest arguments
  local preset=$1; shift
  echo "=== $preset ==="
  cmake --preset "$preset" >/dev/null || { status=1; failed=$((failed + 1)); return; }
  cmake --build --preset "$preset" -- -j2 >/dev/null || { cmake --build --preset "$preset" 2>&1 | grep -E 'error' | head -40; status=1; failed=$((failed + 1)); return; }
  local log
  log=$(ctest --preset "$preset" -j2 "$@" 2>&1)
  local rc=$?
  echo "$log" | grep -E 'Test +#|tests passed|FAILED|Failed|\*\*\*' | sed 's/^/  /'
  [ $rc -ne 0 ] && { status=1; echo "$log" | tail -60; }
  local line p f
  line=$(echo "$log" | grep -E 'tests passed, [0-9]+ tests failed out of [0-9]+' | tail -1)
  f=$(echo "$line" | sed -E 's/.* ([0-9]+) tests failed out of ([0-9]+).*/\1/')
  p=$(echo "$line" | sed -E 's/.* ([0-9]+) tests failed out of ([0-9]+).*/\2/')
  [ -n "$line" ] && { passed=$((passed + p - f)); failed=$((failed + f)); }
}

run native
run i386
run sanitize
run tsan -L concurrency
run fuzz

echo "tests: ${passed} passed, ${failed} failed"
exit $status
