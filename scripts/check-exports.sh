#!/usr/bin/env bash
# Fails, listing them, when a shared library exports a name outside its interface: an internal
# one (QuarloCliente::detail), one outside QuarloCliente, or one of a dependency's. Every name
# the library exports must be QuarloCliente's own; no exception is allowed.
# Usage: scripts/check-exports.sh path/to/libquarlo.so
set -euo pipefail
library="${1:?usage: check-exports.sh LIBRARY}"

# The entity a demangled name stands for: "typeinfo for X", "vtable for X" and thunks are X's;
# a function template's name comes after its return type.
entity() {
  local name="$1"
  name="${name#typeinfo name for }"
  name="${name#typeinfo for }"
  name="${name#construction vtable for }"
  name="${name#vtable for }"
  name="${name#VTT for }"
  name="${name#guard variable for }"
  name="${name#covariant return thunk to }"
  name="${name#non-virtual thunk to }"
  name="${name#virtual thunk to }"
  local head="${name%%(*}"
  if [[ "$head" == *" QuarloCliente::"* && "$head" != QuarloCliente::* ]]; then
    name="QuarloCliente::${name#* QuarloCliente::}"
  fi
  printf '%s\n' "$name"
}

# Why the name may not be exported, or nothing when it may.
offence() {
  local name
  name="$(entity "$1")"
  case "$name" in
    QuarloCliente::detail::*) echo "internal" ;;
    QuarloCliente::*) ;;
    curl_* | xml* | sqlite3_* | EVP_* | RSA_* | BIO_* | png_* | ZBarcode_* | zint_*) echo "dependency" ;;
    *) echo "outside QuarloCliente" ;;
  esac
}

mapfile -t symbols < <(nm -D --defined-only -C "$library" | cut -d' ' -f3-)
if [ "${#symbols[@]}" -eq 0 ]; then
  echo "check-exports: $library exports nothing" >&2
  exit 1
fi
offenders=0
for symbol in "${symbols[@]}"; do
  reason="$(offence "$symbol")"
  if [ -n "$reason" ]; then
    echo "exported, $reason: $symbol" >&2
    offenders=$((offenders + 1))
  fi
done
if [ "$offenders" -gt 0 ]; then
  echo "check-exports: $offenders of ${#symbols[@]} exported names of $library are not its interface" >&2
  exit 1
fi
echo "check-exports: ${#symbols[@]} exported names of $library, all QuarloCliente's interface"
