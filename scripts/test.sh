#!/usr/bin/env bash
# Installs what is missing, configures, builds and runs the whole test suite.
# Usage: scripts/test.sh [preset]   (default: "default"; also "asan", "tsan")
set -euo pipefail
cd "$(dirname "$0")/.."
preset="${1:-default}"

bash scripts/install-deps.sh
cmake --preset "$preset"
cmake --build --preset "$preset" -j "$(nproc)"
# The chaos run of the outbox (label "caos": thousands of exchanges against a faulty sandbox,
# the draining process killed along the way) runs in the default build only: under the
# sanitizers it would take many minutes and test nothing the default build does not.
if [ "$preset" = default ]; then
  ctest --preset "$preset" -j "$(nproc)"
else
  ctest --preset "$preset" -j "$(nproc)" -LE 'caos|consola'
fi
# What a user of the packages gets: the exported interface still compatible with the stored
# baseline, and the .deb files installing, building a program and running it.
if [ "$preset" = default ]; then
  bash scripts/check-abi.sh "build/$preset"
  bash scripts/consumer-test.sh "build/$preset"
fi
