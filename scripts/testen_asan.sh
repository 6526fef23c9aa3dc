#!/usr/bin/env bash
# Builds the whole tree with AddressSanitizer and UndefinedBehaviorSanitizer in
# build-asan and runs every test there; any finding fails its test.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/einrichten.sh --pakete
werror=OFF
[ "${CI:-}" = "true" ] && werror=ON
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPURIVO_SANITIZE=ON -DPURIVO_WERROR=$werror >/dev/null
cmake --build build-asan -j"$(nproc)"
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
ctest --test-dir build-asan --output-on-failure -j"$(nproc)"
