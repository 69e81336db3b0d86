#!/usr/bin/env bash
# Installs what is missing, configures, builds and runs the whole test suite.
# Usage: scripts/test.sh [preset]   (default: "default"; also "asan", "tsan")
set -euo pipefail
cd "$(dirname "$0")/.."
preset="${1:-default}"

bash scripts/install-deps.sh
cmake --preset "$preset"
cmake --build --preset "$preset" -j "$(nproc)"
# The chaos run of the outbox (label "caos") drives thousands of exchanges against a faulty
# sandbox; it runs once, in the default build, not again under every sanitizer.
exclude=()
[ "$preset" = default ] || exclude=(-LE caos)
ctest --preset "$preset" -j "$(nproc)" "${exclude[@]}"
