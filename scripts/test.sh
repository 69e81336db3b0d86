#!/usr/bin/env bash
# Installs what is missing, configures, builds and runs the whole test suite.
# Usage: scripts/test.sh [preset]   (default: "default"; also "asan", "tsan")
set -euo pipefail
cd "$(dirname "$0")/.."
preset="${1:-default}"

bash scripts/install-deps.sh
cmake --preset "$preset"
cmake --build --preset "$preset" -j "$(nproc)"
# The outbox's chaos run takes minutes of faults and kills: once, in the default build.
skip=()
[ "$preset" = default ] || skip=(-LE caos)
ctest --preset "$preset" -j "$(nproc)" "${skip[@]}"
