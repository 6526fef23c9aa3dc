#!/usr/bin/env bash
# Builds the whole tree and the libFuzzer targets with clang in build-clang, runs every
# test there, then each fuzz target for a while (seconds, default 60, side by side) on
# a seed corpus made from the test fixtures.
set -euo pipefail
cd "$(dirname "$0")/.."
sekunden="${1:-60}"
bash scripts/einrichten.sh --pakete
werror=OFF
[ "${CI:-}" = "true" ] && werror=ON
CC=clang CXX=clang++ cmake -S . -B build-clang -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPURIVO_FUZZ=ON \
  -DPURIVO_WERROR=$werror >/dev/null
cmake --build build-clang -j"$(nproc)"
export QT_QPA_PLATFORM=offscreen
ctest --test-dir build-clang --output-on-failure -j"$(nproc)"

# Seed corpora: the workbooks, page 0 of the Access files, each .dbf behind the two
# bytes that tell fuzz_dbase where its memo part begins (none here), the Jet 4 files
# without their page 0 (fuzz_jet4 puts a header of its own in front; 400 KB at most).
korpus=$(mktemp -d)
trap 'rm -rf "$korpus"' EXIT
mkdir -p "$korpus"/{xls_fuzz,fuzz_access_kopf,fuzz_dbase,fuzz_jet4,funde}
cp tests/fixtures/excel/*.xls "$korpus/xls_fuzz/"
for f in ../shared/fixtures/access/*.mdb; do head -c 4096 "$f" >"$korpus/fuzz_access_kopf/$(basename "$f")"; done
for f in ../shared/fixtures/access/*.mdb; do
  [ "$(od -An -tu1 -j20 -N1 "$f" | tr -d ' ')" = 1 ] || continue  # version byte: Jet 4 only
  tail -c +4097 "$f" | head -c 409600 >"$korpus/fuzz_jet4/$(basename "$f")"
done
for f in tests/fixtures/dbase/*.dbf; do
  python3 -c 'import sys, struct; d = open(sys.argv[1], "rb").read(); sys.stdout.buffer.write(struct.pack("<H", min(len(d), 65535)) + d)' \
    "$f" >"$korpus/fuzz_dbase/$(basename "$f")"
done
for z in xls_fuzz fuzz_access_kopf fuzz_dbase fuzz_jet4; do
  [ -n "$(ls -A "$korpus/$z")" ] || { echo "no seeds for $z"; exit 1; }
done
pids=()
for z in xls_fuzz fuzz_access_kopf fuzz_dbase fuzz_jet4; do
  build-clang/fuzz/$z -max_total_time="$sekunden" -print_final_stats=1 -artifact_prefix="$korpus/funde/$z-" \
    "$korpus/$z" >"$korpus/$z.log" 2>&1 &
  pids+=($!)
done
fehler=0
i=0
for z in xls_fuzz fuzz_access_kopf fuzz_dbase fuzz_jet4; do
  if wait "${pids[$i]}"; then
    echo "$z: $(grep -m1 -o 'seed corpus: files: [0-9]*' "$korpus/$z.log"),$(grep -o ' [0-9]* runs in [0-9]* second' "$korpus/$z.log" | tail -n 1)s, no finding"
  else
    tail -n 60 "$korpus/$z.log"
    ls "$korpus/funde" | sed 's/^/finding: /'
    # The input itself, so that a finding can be replayed after the folder is gone
    # (base64 -d > f; build-clang/fuzz/<target> f).
    for f in "$korpus/funde/$z"-*; do [ -f "$f" ] && echo "$(basename "$f") base64: $(base64 -w0 "$f")"; done
    fehler=1
  fi
  i=$((i + 1))
done
exit $fehler
