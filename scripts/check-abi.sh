#!/usr/bin/env bash
# Compares the interface libquarlo.so exports with the stored baseline (abi/libquarlo.abi.xz) and
# fails on any change but additions: a removed or changed function, a type whose size, layout or
# members moved. Additions pass, and are listed.
# Usage: scripts/check-abi.sh [build folder]               check (default: build/default)
#        scripts/check-abi.sh --actualizar [build folder]  write the baseline anew, for a version
#                                                          whose CHANGELOG says what it changes
#        scripts/check-abi.sh --comparar BASE ACTUAL       the same decision on two abidw files
set -euo pipefail
cd "$(dirname "$0")/.."
# Kept compressed: the description of the interface runs to megabytes of XML.
baseline=abi/libquarlo.abi.xz

# Without the additions, any change left is to something a built program already uses.
# abidiff's status is a bit field: 1 and 2 its own failure, 4 a change, 8 one it knows breaks.
compare() {
  local report status additions
  set +e
  report="$(abidiff --no-show-locs --no-added-syms "$1" "$2")"
  status=$?
  additions="$(abidiff --no-show-locs "$1" "$2")"
  set -e
  if ((status & 3)); then
    echo "check-abi: abidiff no pudo comparar (estado $status)" >&2
    echo "$report" >&2
    return 1
  fi
  if ((status & 12)); then
    echo "check-abi: la interfaz exportada cambió respecto de la base:" >&2
    echo "$report" >&2
    return 1
  fi
  if [ -n "$additions" ]; then
    echo "check-abi: añadidos respecto de la base (compatibles):"
    echo "$additions"
  fi
  echo "check-abi: la interfaz exportada es compatible con la base"
}

# Only the types of the public headers and what the exported functions reach count; the
# library's internal ones may change freely.
describe() {
  abidw --headers-dir include --no-corpus-path --no-show-locs --drop-private-types \
    --drop-undefined-syms --exported-interfaces-only "$1"
}

if [ "${1:-}" = "--comparar" ]; then
  compare "$2" "$3"
  exit
fi
update=0
if [ "${1:-}" = "--actualizar" ]; then
  update=1
  shift
fi
build="${1:-build/default}"
library="$(find "$build/src" -maxdepth 1 -name 'libquarlo.so.*.*' -type f | head -n 1)"
[ -n "$library" ] || { echo "check-abi: no hay libquarlo.so en $build/src" >&2; exit 1; }
if ((update)); then
  mkdir -p abi
  describe "$library" | xz -T0 >"$baseline"
  echo "check-abi: $baseline escrito desde $library"
  exit 0
fi
[ -f "$baseline" ] || { echo "check-abi: falta $baseline (--actualizar)" >&2; exit 1; }
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
xz -dc "$baseline" >"$work/base.abi"
describe "$library" >"$work/actual.abi"
compare "$work/base.abi" "$work/actual.abi"
