#!/usr/bin/env bash
# Installs what building and testing need (Debian 12), then configures and builds:
# the program alone, or with --tests everything; --pakete installs what the tests and
# the other builds need (clang, the fuzzers' runtime) and builds nothing.
set -euo pipefail
cd "$(dirname "$0")/.."

pakete=(cmake ninja-build g++ pkg-config libgtest-dev qt6-base-dev libsqlite3-dev libicu-dev
        mdbtools-dev libfreexl-dev libgsf-1-dev libglib2.0-dev fonts-liberation fonts-dejavu-core
        qt6-translations-l10n)
if [ "${1:-}" = "--tests" ] || [ "${1:-}" = "--pakete" ]; then
  # Independent readers and fixture makers, used only by the tests.
  pakete+=(mdbtools gnumeric python3 python3-xlrd python3-xlwt python3-dbf python3-dbfread)
  # The layout check (scripts/format_pruefen.sh) needs this very version.
  pakete+=(clang-format-14)
  # The second independent Access reader runs on node (Debian's, unless one is there).
  command -v node >/dev/null 2>&1 || pakete+=(nodejs npm)
fi
if [ "${1:-}" = "--pakete" ]; then
  pakete+=(clang libclang-rt-14-dev)
fi
fehlend=()
for p in "${pakete[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || fehlend+=("$p")
done
if [ ${#fehlend[@]} -gt 0 ]; then
  als_root=()
  [ "$(id -u)" -eq 0 ] || als_root=(sudo)
  "${als_root[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${als_root[@]}" apt-get install -y -qq --no-install-recommends "${fehlend[@]}"
fi

if [ "${1:-}" = "--tests" ] || [ "${1:-}" = "--pakete" ]; then
  # mdb-reader as package-lock.json pins it, again whenever the lock changed.
  if [ ! -f tests/leser/node_modules/.package-lock.json ] ||
     [ tests/leser/package-lock.json -nt tests/leser/node_modules/.package-lock.json ]; then
    (cd tests/leser && npm ci --no-audit --no-fund --loglevel=error >/dev/null)
  fi
fi

[ "${1:-}" = "--pakete" ] && exit 0

# CI holds the build free of warnings; elsewhere a newer compiler's new warning does not stop it.
werror=OFF
[ "${CI:-}" = "true" ] && werror=ON
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPURIVO_WERROR=$werror >/dev/null
if [ "${1:-}" = "--tests" ]; then
  cmake --build build -j"$(nproc)"
else
  # Starting the program needs the program only, not the tests and benchmarks.
  cmake --build build -j"$(nproc)" --target purivo
fi
