#!/usr/bin/env bash
# The test suite again under the sanitisers: all of it with AddressSanitizer and
# UndefinedBehaviorSanitizer, and the tests of the threaded parts (the engine and the scan and
# repair flow) with ThreadSanitizer. Expects what scripts/install-deps.sh installs.
set -euo pipefail
cd "$(dirname "$0")/.."

jobs="$(nproc)"

echo "== AddressSanitizer + UndefinedBehaviorSanitizer: the whole suite"
cmake --preset asan
cmake --build --preset asan -j "$jobs"
ctest --preset asan -j "$jobs"

echo "== ThreadSanitizer: the engine and flow tests"
cmake --preset tsan
# Each test is an executable of its own name; build only those the labels select (their
# dependencies come along).
mapfile -t targets < <(ctest --preset tsan -N -L '^(engine|flow)$' |
                       sed -n 's/^ *Test *#[0-9]*: *\([A-Za-z0-9_]*\)$/\1/p')
if [ "${#targets[@]}" -eq 0 ]; then
  echo "no engine or flow tests found in the tsan build" >&2
  exit 1
fi
cmake --build --preset tsan -j "$jobs" --target "${targets[@]}"
ctest --preset tsan -j "$jobs" -L '^(engine|flow)$'
