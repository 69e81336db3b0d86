#!/usr/bin/env bash
# Compares the interface libquarlo.so exports with the stored baseline (abi/libquarlo.abi) and
# fails on a change that would break a program built against the baseline: a removed or changed
# function, a type whose size or layout moved. Additions pass, and are listed.
# Usage: scripts/check-abi.sh [build folder]              check (default: build/default)
#        scripts/check-abi.sh --actualizar [build folder]  write the baseline anew, for a version
#                                                          whose CHANGELOG says what it changes
set -euo pipefail
cd "$(dirname "$0")/.."
update=0
if [ "${1:-}" = "--actualizar" ]; then
  update=1
  shift
fi
build="${1:-build/default}"
baseline=abi/libquarlo.abi
library="$(find "$build/src" -maxdepth 1 -name 'libquarlo.so.*.*' -type f | head -n 1)"
[ -n "$library" ] || { echo "check-abi: no hay libquarlo.so en $build/src" >&2; exit 1; }

# Only the types of the public headers count; the library's internal ones may change freely.
abidw_args=(--headers-dir include --no-corpus-path --no-show-locs --drop-private-types)
if ((update)); then
  mkdir -p abi
  abidw "${abidw_args[@]}" --out-file "$baseline" "$library"
  echo "check-abi: $baseline escrito desde $library"
  exit 0
fi
[ -f "$baseline" ] || { echo "check-abi: falta $baseline (scripts/check-abi.sh --actualizar)" >&2; exit 1; }

current="$(mktemp)"
trap 'rm -f "$current"' EXIT
abidw "${abidw_args[@]}" --out-file "$current" "$library"
set +e
report="$(abidiff --no-show-locs "$baseline" "$current")"
status=$?
set -e
# abidiff's status is a bit field: 1 and 2 its own failure, 4 a change, 8 an incompatible one.
if ((status & 3)); then
  echo "check-abi: abidiff no pudo comparar (estado $status)" >&2
  echo "$report" >&2
  exit 1
fi
if ((status & 8)); then
  echo "check-abi: cambio incompatible con $baseline:" >&2
  echo "$report" >&2
  exit 1
fi
if ((status & 4)); then
  echo "check-abi: cambios compatibles con $baseline:"
  echo "$report"
fi
echo "check-abi: la interfaz exportada es compatible con $baseline"
