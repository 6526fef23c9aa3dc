#!/usr/bin/env bash
# Builds and starts the program.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/einrichten.sh
exec ./build/purivo "$@"
