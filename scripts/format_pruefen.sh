#!/usr/bin/env bash
# Checks that every tracked C++ file in src, tests, bench and fuzz is formatted by the
# .clang-format at the top of the tree; lists the files that are not and fails.
# Installs nothing: clang-format 14 must be there (Debian 12: package clang-format-14).
# CLANG_FORMAT names another binary; its major version must still be 14, since other
# versions format the same configuration differently.
#   scripts/format_pruefen.sh          check
#   scripts/format_pruefen.sh --fix    format those files in place instead
set -euo pipefail
cd "$(dirname "$0")/.."

werkzeug="${CLANG_FORMAT:-}"
if [ -z "$werkzeug" ]; then
  for k in clang-format-14 clang-format; do
    if command -v "$k" >/dev/null 2>&1; then werkzeug="$k"; break; fi
  done
fi
if [ -z "$werkzeug" ] || ! command -v "$werkzeug" >/dev/null 2>&1; then
  echo "format_pruefen: clang-format 14 not found (Debian 12: apt-get install clang-format-14)" >&2
  exit 2
fi
version="$("$werkzeug" --version)"
if ! [[ "$version" =~ version[[:space:]]14\. ]]; then
  echo "format_pruefen: $werkzeug is not clang-format 14: $version" >&2
  exit 2
fi

if [ ! -f .clang-format ]; then
  echo "format_pruefen: .clang-format missing at the top of the tree" >&2
  exit 2
fi

# Tracked files only: generated sources live in the build trees, third_party holds data.
mapfile -t dateien < <(git ls-files -- 'src/*.cpp' 'src/*.h' 'tests/*.cpp' 'tests/*.h' \
                                       'bench/*.cpp' 'bench/*.h' 'fuzz/*.cpp' 'fuzz/*.h' \
                                       ':!:third_party/**')
if [ ${#dateien[@]} -eq 0 ]; then
  echo "format_pruefen: no C++ files found" >&2
  exit 2
fi

if [ "${1:-}" = "--fix" ]; then
  printf '%s\0' "${dateien[@]}" | xargs -0 -n 20 "$werkzeug" -i
  echo "format_pruefen: ${#dateien[@]} files formatted with $werkzeug"
  exit 0
fi

# One run over all files, in parallel; clang-format names each file it would change.
meldungen="$(printf '%s\0' "${dateien[@]}" |
             xargs -0 -n 20 -P "$(nproc)" "$werkzeug" --dry-run --Werror 2>&1 >/dev/null)" && status=0 || status=$?
mapfile -t falsch < <(printf '%s\n' "$meldungen" |
                      sed -n 's/^\(.*\):[0-9]*:[0-9]*: error: code should be clang-formatted.*/\1/p' | sort -u)
if [ "$status" -ne 0 ] && [ ${#falsch[@]} -eq 0 ]; then
  echo "format_pruefen: $werkzeug failed:" >&2
  printf '%s\n' "$meldungen" | head -20 >&2
  exit 2
fi
if [ ${#falsch[@]} -gt 0 ]; then
  echo "format_pruefen: ${#falsch[@]} of ${#dateien[@]} files need formatting ($werkzeug):" >&2
  printf '  %s\n' "${falsch[@]}" >&2
  echo "format_pruefen: see the changes with '$werkzeug --dry-run FILE'; apply them with" >&2
  echo "  'bash scripts/format_pruefen.sh --fix' (or '$werkzeug -i FILE')" >&2
  exit 1
fi
echo "format_pruefen: ${#dateien[@]} files formatted ($werkzeug)"
